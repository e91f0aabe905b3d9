#include "menus/ot_menumanager.h"

#include "menus/ot_menu.h"
#include "platform/win32/dwm.h"
#include "platform/win32/kernel.h"

namespace {

constexpr LPCWSTR kClassName = L"ostmenu";
constexpr DWORD kExStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr int kWindowWidth = 180;
constexpr int kMargin = 10;      // window x and y of the body's top-left corner
constexpr int kAboveItems = 10;  // menu y of the first item, from window y 20
constexpr int kShowLeft = 10;    // the window's corner from the given point
constexpr int kShowUp = 15;

// There is only one menu window.
bool g_bMenuShown = false;
POINT g_ptMenu = {0, 0};
int g_nHotItem = -1;

OstMenuManager* ManagerOf(HWND hWnd) { return reinterpret_cast<OstMenuManager*>(GetWindowLongW(hWnd, GWL_USERDATA)); }

// The index of the item at the client y of lParam: -1 above the first item,
// the count below the last. The x coordinate plays no part.
int ItemAt(OstMenu* pMenu, LPARAM lParam) {
    int y = GET_Y_LPARAM(lParam) - kMargin;
    if (y < kAboveItems) return -1;
    const OstMenuItem* items = pMenu->GetItems();
    UINT i = 0;
    while (i < pMenu->GetCount() && static_cast<int>(items[i].nTop) <= y &&
           static_cast<int>(items[i].nTop + items[i].nHeight) < y)
        ++i;
    return static_cast<int>(i);
}

bool IsItem(OstMenu* pMenu, int index) { return index >= 0 && static_cast<UINT>(index) < pMenu->GetCount(); }

}  // namespace

OstMenuManager::OstMenuManager(HWND hOwner) : hOwnerWnd(hOwner), hMenuWnd(NULL), hMenu(NULL) {
    g_bMenuShown = false;
    g_ptMenu = POINT{0, 0};
    g_nHotItem = -1;

    HINSTANCE module = GetModuleHandleW(NULL);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MenuWndProc;
    wc.hInstance = module;
    wc.hIcon = LoadIconW(NULL, IDI_APPLICATION);
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = NULL;
    wc.lpszClassName = kClassName;
    // A second manager in one process finds the class registered already.
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) OST_ASSERT_FAILED("NULL");

    hMenuWnd = CreateWindowExW(kExStyle, kClassName, kClassName, WS_POPUP, 0, 0, 1, 1, NULL, NULL, module, NULL);
    OST_ASSERT(hMenuWnd);
    if (!hMenuWnd) return;
    SetWindowLongW(hMenuWnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetLayeredWindowAttributes(hMenuWnd, RGB(0, 0, 0), 0, LWA_COLORKEY);
    EnableBlur(NULL);
    ShowWindow(hMenuWnd, SW_HIDE);
}

OstMenuManager::~OstMenuManager() {
    if (hMenuWnd) {
        DestroyWindow(hMenuWnd);
        hMenuWnd = NULL;
    }
}

bool OstMenuManager::EnableBlur(HRGN region) {
    BOOL composition = FALSE;
    DwmIsCompositionEnabled(&composition);
    if (!composition) return false;
    DWM_BLURBEHIND blur = {};
    blur.dwFlags = DWM_BB_ENABLE;
    if (region) blur.dwFlags |= DWM_BB_BLURREGION;
    blur.fEnable = TRUE;
    blur.hRgnBlur = region;
    blur.fTransitionOnMaximized = FALSE;
    DwmEnableBlurBehindWindow(hMenuWnd, &blur);
    return true;
}

LRESULT OstMenuManager::MenuWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    OstMenuManager* manager = ManagerOf(hWnd);
    // Creation messages come before the manager is stored.
    if (!manager) return DefWindowProcW(hWnd, message, wParam, lParam);
    // Without a current menu nothing shows, so nothing is hit or painted.
    OstMenu* menu = manager->hMenu;

    switch (message) {
    case WM_MENU_SHOW: {
        if (g_bMenuShown || !menu) return 0;
        g_bMenuShown = true;
        g_ptMenu = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        HRGN region = CreateRoundRectRgn(10, 15, 171, menu->GetHeight() + 9, 5, 5);
        manager->EnableBlur(region);
        DeleteObject(region);
        SetWindowPos(hWnd, HWND_TOP, g_ptMenu.x - kShowLeft, g_ptMenu.y - kShowUp, kWindowWidth, menu->GetHeight() + 20,
                     0);
        ShowWindow(hWnd, SW_SHOW);
        InvalidateRect(hWnd, NULL, TRUE);
        PostMessageW(manager->hOwnerWnd, WM_MENU_SHOWN, 0, 0);
        return 0;
    }
    case WM_MENU_HIDE:
        if (!g_bMenuShown) return 0;
        g_bMenuShown = false;
        PostMessageW(manager->hOwnerWnd, WM_MENU_CLOSED, 0, 0);
        ShowWindow(hWnd, SW_HIDE);
        g_nHotItem = -1;
        return 0;
    case WM_ACTIVATE: {
        if (LOWORD(wParam) != WA_INACTIVE || !g_bMenuShown) return 0;
        g_bMenuShown = false;
        // The click that took the activation away reaches the controls,
        // wherever it was.
        POINT cursor = {0, 0};
        GetCursorPos(&cursor);
        ScreenToClient(manager->hOwnerWnd, &cursor);
        PostMessageW(manager->hOwnerWnd, WM_MENU_CLOSED, 0, 0);
        PostMessageW(manager->hOwnerWnd, WM_LBUTTONDOWN, 0,
                     MAKELPARAM(static_cast<WORD>(cursor.x), static_cast<WORD>(cursor.y)));
        ShowWindow(hWnd, SW_HIDE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC hdc = BeginPaint(hWnd, &paint);
        if (g_bMenuShown && menu) {
            const int height = menu->GetHeight() + 20;
            HBITMAP bitmap = CreateCompatibleBitmap(hdc, kWindowWidth, height);
            HDC hdcBuffer = CreateCompatibleDC(hdc);
            HGDIOBJ previous = SelectObject(hdcBuffer, bitmap);
            menu->Paint(hdcBuffer, g_nHotItem);
            BitBlt(hdc, 0, 0, kWindowWidth, height, hdcBuffer, 0, 0, SRCCOPY);
            SelectObject(hdcBuffer, previous);
            DeleteDC(hdcBuffer);
            DeleteObject(bitmap);
        }
        EndPaint(hWnd, &paint);
        return 0;
    }
    case WM_NCHITTEST: {
        if (!menu) return HTNOWHERE;
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hWnd, &point);
        if (point.y < kMargin || point.y > menu->GetHeight() + kMargin || point.x < kMargin ||
            point.x > menu->GetWidth() + kMargin) {
            PostMessageW(hWnd, WM_MENU_HIDE, 0, 0);
            return HTNOWHERE;
        }
        return HTCLIENT;
    }
    case WM_MOUSEMOVE: {
        if (!menu) return 0;
        int index = ItemAt(menu, lParam);
        int hot = IsItem(menu, index) ? index : -1;
        if (hot != g_nHotItem) {
            InvalidateRect(hWnd, NULL, TRUE);
            g_nHotItem = hot;
        }
        return 0;
    }
    case WM_LBUTTONDOWN: {
        if (!menu) return 0;
        int index = ItemAt(menu, lParam);
        if (!IsItem(menu, index)) return 0;
        const OstMenuItem& item = menu->GetItems()[index];
        PostMessageW(manager->hOwnerWnd, item.nMessage, 0, 0);
        if (!(item.nFlags & kItemStaysOpen)) manager->HideMenu();
        return 0;
    }
    default: return DefWindowProcW(hWnd, message, wParam, lParam);
    }
}
