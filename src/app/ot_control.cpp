// The main window: its class, creation order, window procedure, dragging
// through the strip and dropped files.
#include "app/ot_control.h"

#include <string>

#include "app/ot_application.h"
#include "app/ot_overlay.h"
#include "app/ot_tray.h"
#include "common/ot_layout.h"
#include "common/ot_messages.h"
#include "controls/ot_buttons.h"
#include "controls/ot_volumebutton.h"
#include "controls/ot_widget.h"
#include "menus/ot_menumanager.h"
#include "platform/win32/assertion.h"
#include "platform/win32/kernel.h"
#include "platform/win32/shell.h"
#include "playback/ot_playengine.h"
#include "skin/ot_blurbehind.h"
#include "skin/ot_skin.h"
#include "skin/ot_staticcache.h"

namespace {

constexpr LPCWSTR kClassName = L"RIDUDAVADA";
constexpr int kIconResource = 6007;
constexpr DWORD kExStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_ACCEPTFILES | WS_EX_TOPMOST;
constexpr int kWidth = 540;
constexpr int kHeight = 200;
constexpr WPARAM kMoveWithMouse = SC_MOVE + 1;

// The window procedure's own copy of the application pointer, taken from
// WM_CREATE: the window's user data is not set yet while it is created.
OstApplication* s_pApplication = NULL;

}  // namespace

OstMainWindow::OstMainWindow(OstApplication* application)
    : m_pApplication(application), m_hWnd(NULL), m_hBlurRegion(NULL) {}

// The buttons (and the menus they own) go before the manager that may still
// point at one of those menus.
OstMainWindow::~OstMainWindow() {
    if (m_hBlurRegion) {
        DeleteObject(m_hBlurRegion);
        m_hBlurRegion = NULL;
    }
    m_pWidget.reset();
    m_pMenuManager.reset();
    m_pStaticCache.reset();
}

ATOM OstMainWindow::RegisterWindowClass() {
    HINSTANCE module = GetModuleHandleW(NULL);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = module;
    wc.hIcon = LoadIconW(module, MAKEINTRESOURCEW(kIconResource));
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = NULL;
    wc.lpszClassName = kClassName;
    wc.hIconSm = wc.hIcon;
    return RegisterClassExW(&wc);
}

bool OstMainWindow::Create() {
    if (!RegisterWindowClass()) {
        OST_ASSERT_FAILED("NULL");
        return false;
    }
    m_hWnd = CreateWindowExW(kExStyle, kClassName, L"Ostrel", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, kWidth, kHeight,
                             NULL, NULL, GetModuleHandleW(NULL), m_pApplication);
    if (!m_hWnd) {
        OST_ASSERT_FAILED("NULL");
        return false;
    }
    SetWindowLongW(m_hWnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<OstHost*>(m_pApplication)));
    SetWindowLongW(m_hWnd, GWL_STYLE, WS_VISIBLE);
    m_hBlurRegion =
        CreateRectRgn(OstLayout::kStripLeft, OstLayout::kStripTop, OstLayout::kStripRight, OstLayout::kStripBottom);
    SetLayeredWindowAttributes(m_hWnd, RGB(0, 0, 0), 0, LWA_COLORKEY);
    EnableBlur(m_hBlurRegion);
    m_pApplication->GetSkin()->Build(m_hWnd);
    m_pStaticCache = std::make_unique<OstStaticCache>();
    m_pStaticCache->Create(m_hWnd, kWidth, kHeight);
    m_pApplication->GetOverlay()->ComposeBackground(m_hWnd, m_pStaticCache.get(), m_pApplication->GetSkin());
    m_pMenuManager = std::make_unique<OstMenuManager>(m_hWnd);
    CreateControls(m_hWnd);
    m_pWidget->PaintStatic(m_hWnd, m_pStaticCache.get(), m_pApplication->GetSkin());
    m_pApplication->GetSkin()->ReleaseStaticImages();
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    UpdateWindow(m_hWnd);
    return true;
}

bool OstMainWindow::EnableBlur(HRGN region) { return OstEnableBlurBehind(m_hWnd, region); }

void OstMainWindow::CreateControls(HWND window) {
    m_pWidget = std::make_unique<OstWidget>();
    m_pWidget->Add(new OstCloseButton());
    m_pWidget->Add(new OstMinimizeButton());
    m_pWidget->Add(new OstPlayButton(window));
    m_pWidget->Add(new OstStopButton());
    m_pWidget->Add(new OstPrevButton());
    m_pWidget->Add(new OstNextButton());
    m_pWidget->Add(new OstVolumeButton(window));
}

HWND OstMainWindow::GetHwnd() const {
    OST_ASSERT(m_hWnd);
    return m_hWnd;
}

// Composes the whole window off-screen and copies it in one transfer.
void OstMainWindow::Paint(HDC dc) {
    HDC hdcBuffer = CreateCompatibleDC(dc);
    HBITMAP bmBuffer = CreateCompatibleBitmap(dc, kWidth, kHeight);
    HGDIOBJ previous = SelectObject(hdcBuffer, bmBuffer);
    m_pStaticCache->Draw(hdcBuffer, 0, 0);

    Gdiplus::Graphics* graphics = new Gdiplus::Graphics(hdcBuffer);
    graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    float fraction = m_pApplication->GetPlayEngine()->GetProgress();
    m_pApplication->GetOverlay()->Paint(graphics, fraction, m_pApplication->GetSkin());
    m_pWidget->Paint(m_hWnd, graphics, m_pApplication->GetSkin());
    delete graphics;

    BitBlt(dc, 0, 0, kWidth, kHeight, hdcBuffer, 0, 0, SRCCOPY);
    SelectObject(hdcBuffer, previous);
    DeleteDC(hdcBuffer);
    DeleteObject(bmBuffer);
}

namespace {

// The container, once the main window object has made it; mouse messages
// can arrive before that and after it is gone.
OstWidget* Widget() {
    OstMainWindow* main = s_pApplication ? s_pApplication->GetMainWindow() : NULL;
    return main ? main->GetWidget() : NULL;
}

Gdiplus::Point ClientPoint(LPARAM lParam) { return Gdiplus::Point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); }

// The gaps between the buttons of the strip act as the caption.
LRESULT OnHitTest(HWND window, LPARAM lParam) {
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(window, &point);
    bool onStrip = point.x > OstLayout::kStripLeft && point.x < OstLayout::kStripRight &&
                   point.y > OstLayout::kStripTop && point.y < OstLayout::kStripBottom;
    if (onStrip) {
        OstWidget* widget = Widget();
        if (!widget || !widget->IsOverButton(point.x, point.y)) return HTCAPTION;
    }
    return HTCLIENT;
}

void OnCaptionPress(HWND window) {
    if (OstWidget* widget = Widget()) {
        widget->ClearPressed(window);
        widget->ClearHover(window);
    }
    SetForegroundWindow(window);
    PostMessageW(window, WM_SYSCOMMAND, kMoveWithMouse, 0);
}

void OnDropFiles(HWND window, HDROP drop) {
    // Sized from the name itself: a name cut to a fixed buffer can be the
    // name of another file.
    std::wstring path(DragQueryFileW(drop, 0, NULL, 0) + 1, L'\0');
    DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size()));
    DragFinish(drop);
    OstPlayEngine* engine = s_pApplication->GetPlayEngine();
    engine->Stop();
    engine->Open(path.c_str(), true, true);
    InvalidateRect(window, NULL, TRUE);
}

}  // namespace

LRESULT OstMainWindow::MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        s_pApplication = static_cast<OstApplication*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        s_pApplication->GetPlayEngine()->SetNotifyWindow(window);
        return 0;
    case WM_DESTROY:
        if (s_pApplication) s_pApplication->Quit();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        s_pApplication->GetMainWindow()->Paint(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SHOWWINDOW:
        if (wParam && s_pApplication && s_pApplication->GetMainWindow())
            s_pApplication->GetMainWindow()->EnableBlur(s_pApplication->GetMainWindow()->m_hBlurRegion);
        return 0;
    case WM_NCHITTEST: return OnHitTest(window, lParam);
    case WM_NCLBUTTONDOWN: OnCaptionPress(window); return 0;
    case WM_MOUSEMOVE:
        if (OstWidget* widget = Widget()) widget->OnMouseMove(window, ClientPoint(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        if (OstWidget* widget = Widget()) widget->OnLButtonDown(window, ClientPoint(lParam));
        return 0;
    case WM_MENU_CLOSED:
        if (OstWidget* widget = Widget()) widget->OnMenuClosed(window);
        return 0;
    case WM_DROPFILES: OnDropFiles(window, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_TRAYICON: return s_pApplication->GetTray() ? s_pApplication->GetTray()->OnNotify(window, lParam) : 0;
    case WM_CMD_RESUME: s_pApplication->GetPlayEngine()->Play(); return 0;
    case WM_ENGINE_UPDATE: s_pApplication->GetPlayEngine()->Update(); return 0;
    case WM_PLAYBACK_ENDED: InvalidateRect(window, NULL, TRUE); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}
