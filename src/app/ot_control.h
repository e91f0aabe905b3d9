// The main window: its class, creation, window procedure, dragging and drops.
#pragma once

#include "platform/win32/gdi.h"
#include "platform/win32/user.h"

class OstApplication;
class OstMenuManager;
class OstStaticCache;
class OstWidget;

class OstMainWindow {
public:
    explicit OstMainWindow(OstApplication* application);
    ~OstMainWindow();
    OstMainWindow(const OstMainWindow&) = delete;
    OstMainWindow& operator=(const OstMainWindow&) = delete;

    bool Create();
    ATOM RegisterWindowClass();
    bool EnableBlur(HRGN region);
    HWND GetHwnd() const;
    void Paint(HDC dc);
    // Creates the container and the buttons, in their hit-test order.
    void CreateControls(HWND window);
    OstWidget* GetWidget() const { return m_pWidget; }
    // Null until Create has made it.
    OstMenuManager* GetMenuManager() const { return m_pMenuManager; }

    static LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    OstApplication* m_pApplication;
    OstWidget* m_pWidget;
    HWND m_hWnd;
    HRGN m_hBlurRegion;
    OstMenuManager* m_pMenuManager;
    OstStaticCache* m_pStaticCache;
};
