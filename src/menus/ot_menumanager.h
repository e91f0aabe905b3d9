// The one pop-up menu window ("ostmenu") and the manager that owns it. The
// window shows whichever menu it was last given, below a screen point,
// highlights the item under the pointer, posts a clicked item's message to
// the owner window, and hides itself when the pointer leaves the menu body
// or the window loses activation, telling the owner each time it shows or
// hides. It talks to the owner only through posted messages. UI thread only.
#pragma once

#include "common/ot_messages.h"
#include "platform/win32/assertion.h"
#include "platform/win32/gdi.h"
#include "platform/win32/user.h"

class OstMenu;

class OstMenuManager {
public:
    // Registers the class (once a process) and creates the hidden window.
    explicit OstMenuManager(HWND hOwner);
    ~OstMenuManager();
    OstMenuManager(const OstMenuManager&) = delete;
    OstMenuManager& operator=(const OstMenuManager&) = delete;

    // The menu the window shows from now on; not owned.
    void SetCurrentMenu(OstMenu* hMenu) {
        OST_ASSERT(hMenu);
        this->hMenu = hMenu;
    }
    // Posted: the window acts on them after the caller has returned. The
    // point is in screen coordinates, each cut to 16 bits.
    void ShowMenu(int x, int y) {
        PostMessageW(hMenuWnd, WM_MENU_SHOW, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    }
    void HideMenu() { PostMessageW(hMenuWnd, WM_MENU_HIDE, 0, 0); }

    // Blur behind the menu window, in `region` or everywhere; false when no
    // compositor runs.
    bool EnableBlur(HRGN region);

    HWND GetMenuWindow() const { return hMenuWnd; }
    OstMenu* GetCurrentMenu() const { return hMenu; }

    static LRESULT MenuWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // One handler per message of the menu window; each returns the
    // procedure's result.
    LRESULT OnShow(LPARAM lParam);
    LRESULT OnHide();
    LRESULT OnActivate(WPARAM wParam);
    LRESULT OnPaint();
    LRESULT OnHitTest(LPARAM lParam);
    LRESULT OnMouseMove(LPARAM lParam);
    LRESULT OnLButtonDown(LPARAM lParam);
    // The window's height for the current menu.
    int WindowHeight() const;

    HWND hOwnerWnd;
    HWND hMenuWnd;
    OstMenu* hMenu;
    // The window's state: whether it shows, the screen point it was shown
    // at, and the highlighted item (-1 for none).
    bool m_bShown;
    POINT m_ptMenu;
    int m_nHotItem;
};
