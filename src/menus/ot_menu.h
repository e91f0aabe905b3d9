// Owner-drawn pop-up menus as plain objects: up to 16 items stacked
// vertically, a frame drawn once into the menu's own static cache, and a
// paint that copies the frame and highlights one item. The menu manager's
// window shows them; the buttons own them. UI thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/gdiplus.h"
#include "platform/win32/types.h"

class OstSkin;
class OstStaticCache;

// One item. Texts, picture and nExtra travel with the item but are not drawn.
struct OstMenuItem {
    UINT nTop;  // set by AddItem
    UINT nHeight;
    WCHAR szText[128];
    WCHAR szSubText[128];
    Gdiplus::Image* pImage;  // owned by the menu with kItemOwnsImage
    RECT rcImage;
    INT nExtra;
    UINT nFlags;
    UINT nMessage;  // posted to the owner window when the item is clicked
};

enum : UINT {
    kItemOwnsImage = 4,  // the menu deletes pImage
    kItemStaysOpen = 8,  // a click leaves the menu open
};

class OstMenu {
public:
    static constexpr UINT kMaxItems = 16;

    OstMenu();
    OstMenu(const OstMenu&) = delete;
    OstMenu& operator=(const OstMenu&) = delete;

    virtual int Hook(int, int, int, int) { return 0; }
    virtual ~OstMenu();

    // Appends a copy of the record below the last item. A null record, or
    // one more than kMaxItems holds, is reported and ignored.
    void AddItem(const OstMenuItem* pMenuItem);
    // Draws the 180-wide frame for the items added so far; once, after the
    // last AddItem. The height grows by the frame's 9 bottom rows.
    void BuildFrame(HWND hWnd, OstSkin* pSkin);
    // The frame at (0, 11) of hdc and, for 0 <= nHot < count, the rounded
    // highlight of that item from x 13 to 167.
    void Paint(HDC hdc, int nHot);

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    UINT GetCount() const { return m_nCount; }
    OstMenuItem* GetItems() { return m_items; }

protected:
    int m_nWidth;
    int m_nHeight;
    UINT m_nCount;
    std::unique_ptr<OstStaticCache> m_pCache;
    OstMenuItem m_items[kMaxItems];
};

// The concrete menus build their frame from the skin their button passes
// (null draws no frame).

// Two items of height 20 that post WM_CMD_VOLUME and keep the menu open.
class OstVolumeMenu : public OstMenu {
public:
    OstVolumeMenu(HWND hWnd, OstSkin* pSkin);
    ~OstVolumeMenu() override;
};

// One item of height 50, "Resume Previous", that posts WM_CMD_RESUME and
// owns its picture, playmenu.png from the program's data directory.
class OstPlayMenu : public OstMenu {
public:
    OstPlayMenu(HWND hWnd, OstSkin* pSkin);
    ~OstPlayMenu() override;
};

// Where the program's data files are looked for, in order: share/ostrel
// beside the installed program's bin directory, then the source tree's
// resources (a program run from its build tree).
std::vector<std::wstring> OstDataDirectories();

// The picture `name` from the first directory where it loads; when it loads
// from none, the image of the last attempt, in an error state (never drawn).
Gdiplus::Image* OstLoadPicture(const std::vector<std::wstring>& directories, const WCHAR* name);
