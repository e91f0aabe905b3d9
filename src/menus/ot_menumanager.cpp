#include "menus/ot_menumanager.h"

#include "common/ot_layout.h"
#include "menus/ot_menu.h"
#include "platform/win32/kernel.h"
#include "skin/ot_blurbehind.h"

namespace {

constexpr LPCWSTR kClassName = L"ostmenu";
constexpr DWORD kExStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr int kWindowWidth = OstLayout::kMenuWidth;
constexpr int kMargin = 10;      // window x and y of the body's top-left corner
constexpr int kAboveItems = 10;  // menu y of the first item, from window y 20
constexpr int kShowLeft = 10;    // the window's corner from the given point
constexpr int kShowUp = 15;

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

OstMenuManager::OstMenuManager(HWND hOwner)
    : hOwnerWnd(hOwner), hMenuWnd(NULL), hMenu(NULL), m_bShown(false), m_ptMenu{0, 0}, m_nHotItem(-1) {
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

bool OstMenuManager::EnableBlur(HRGN region) { return OstEnableBlurBehind(hMenuWnd, region); }

LRESULT OstMenuManager::MenuWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    OstMenuManager* manager = ManagerOf(hWnd);
    // Creation messages come before the manager is stored.
    if (!manager) return DefWindowProcW(hWnd, message, wParam, lParam);
    switch (message) {
    case WM_MENU_SHOW: return manager->OnShow(lParam);
    case WM_MENU_HIDE: return manager->OnHide();
    case WM_ACTIVATE: return manager->OnActivate(wParam);
    case WM_PAINT: return manager->OnPaint();
    case WM_NCHITTEST: return manager->OnHitTest(lParam);
    case WM_MOUSEMOVE: return manager->OnMouseMove(lParam);
    case WM_LBUTTONDOWN: return manager->OnLButtonDown(lParam);
    default: return DefWindowProcW(hWnd, message, wParam, lParam);
    }
}

// Without a current menu nothing shows, so nothing is hit or painted.

int OstMenuManager::WindowHeight() const { return hMenu->GetHeight() + 20; }

LRESULT OstMenuManager::OnShow(LPARAM lParam) {
    if (m_bShown || !hMenu) return 0;
    m_bShown = true;
    m_ptMenu = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    HRGN region = CreateRoundRectRgn(OstLayout::kMenuBlurLeft, OstLayout::kMenuBlurTop, OstLayout::kMenuBlurRight,
                                     hMenu->GetHeight() + OstLayout::kMenuBlurBelowItems, OstLayout::kMenuBlurCorner,
                                     OstLayout::kMenuBlurCorner);
    EnableBlur(region);
    DeleteObject(region);
    SetWindowPos(hMenuWnd, HWND_TOP, m_ptMenu.x - kShowLeft, m_ptMenu.y - kShowUp, kWindowWidth, WindowHeight(), 0);
    ShowWindow(hMenuWnd, SW_SHOW);
    InvalidateRect(hMenuWnd, NULL, TRUE);
    PostMessageW(hOwnerWnd, WM_MENU_SHOWN, 0, 0);
    return 0;
}

LRESULT OstMenuManager::OnHide() {
    if (!m_bShown) return 0;
    m_bShown = false;
    PostMessageW(hOwnerWnd, WM_MENU_CLOSED, 0, 0);
    ShowWindow(hMenuWnd, SW_HIDE);
    m_nHotItem = -1;
    return 0;
}

LRESULT OstMenuManager::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) != WA_INACTIVE || !m_bShown) return 0;
    m_bShown = false;
    // The click that took the activation away reaches the controls,
    // wherever it was.
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    ScreenToClient(hOwnerWnd, &cursor);
    PostMessageW(hOwnerWnd, WM_MENU_CLOSED, 0, 0);
    PostMessageW(hOwnerWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(static_cast<WORD>(cursor.x), static_cast<WORD>(cursor.y)));
    ShowWindow(hMenuWnd, SW_HIDE);
    return 0;
}

LRESULT OstMenuManager::OnPaint() {
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hMenuWnd, &paint);
    if (m_bShown && hMenu) {
        const int height = WindowHeight();
        HBITMAP bitmap = CreateCompatibleBitmap(hdc, kWindowWidth, height);
        HDC hdcBuffer = CreateCompatibleDC(hdc);
        HGDIOBJ previous = SelectObject(hdcBuffer, bitmap);
        hMenu->Paint(hdcBuffer, m_nHotItem);
        BitBlt(hdc, 0, 0, kWindowWidth, height, hdcBuffer, 0, 0, SRCCOPY);
        SelectObject(hdcBuffer, previous);
        DeleteDC(hdcBuffer);
        DeleteObject(bitmap);
    }
    EndPaint(hMenuWnd, &paint);
    return 0;
}

LRESULT OstMenuManager::OnHitTest(LPARAM lParam) {
    if (!hMenu) return HTNOWHERE;
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hMenuWnd, &point);
    if (point.y < kMargin || point.y > hMenu->GetHeight() + kMargin || point.x < kMargin ||
        point.x > hMenu->GetWidth() + kMargin) {
        PostMessageW(hMenuWnd, WM_MENU_HIDE, 0, 0);
        return HTNOWHERE;
    }
    return HTCLIENT;
}

LRESULT OstMenuManager::OnMouseMove(LPARAM lParam) {
    if (!hMenu) return 0;
    int index = ItemAt(hMenu, lParam);
    int hot = IsItem(hMenu, index) ? index : -1;
    if (hot != m_nHotItem) {
        InvalidateRect(hMenuWnd, NULL, TRUE);
        m_nHotItem = hot;
    }
    return 0;
}

LRESULT OstMenuManager::OnLButtonDown(LPARAM lParam) {
    if (!hMenu) return 0;
    int index = ItemAt(hMenu, lParam);
    if (!IsItem(hMenu, index)) return 0;
    const OstMenuItem& item = hMenu->GetItems()[index];
    PostMessageW(hOwnerWnd, item.nMessage, 0, 0);
    if (!(item.nFlags & kItemStaysOpen)) HideMenu();
    return 0;
}
