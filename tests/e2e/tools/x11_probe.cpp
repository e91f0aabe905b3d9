// A window on the X11 backend and the Win32-shaped core, for the e2e checks.
// It accepts files and prints each dropped path on stdout, one a line.
//
//   x11_probe [--title TITLE] [--colorkey] [--message TEXT] [--popup] [--strip]
//             [--tray] [--minimize]
//
// --colorkey paints the window black around a white middle, keys out black
// and makes the white part a caption, so a press there moves the window.
// --message shows a message box with TEXT first and exits once it is closed.
// --popup adds an owned pop-up window titled TITLE-popup at (40, 40), brings
// it to the foreground and reports on stderr when it loses activation.
// --strip makes it a tool window (off the taskbar) that stays on top.
// --tray adds a tray icon with the tip "TITLE tray"; a left press on it (or
// a double click) hides the window when shown and shows it when hidden.
// --minimize: a left press on the window fades it out as the player's
// minimize does.
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/win32/gdi.h"
#include "platform/win32/internal/backend.h"
#include "platform/win32/kernel.h"
#include "platform/win32/shell.h"
#include "platform/win32/text.h"
#include "platform/win32/user.h"
#include "platform/x11/x11_backend.h"

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr RECT kMiddle = {100, 50, 200, 150};
bool g_colorKey = false;
bool g_popup = false;
bool g_strip = false;
bool g_tray = false;
bool g_minimize = false;
constexpr UINT kTrayMessage = WM_USER + 100;

LRESULT PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && wParam == WA_INACTIVE) {
        std::fprintf(stderr, "x11_probe: popup deactivated\n");
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::wstring widen(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(std::wcslen(wide.c_str()));
    return wide;
}

void printPath(const WCHAR* path) {
    int length = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? length : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, path, -1, narrow.data(), static_cast<int>(narrow.size()), nullptr, nullptr);
    std::printf("%s\n", narrow.c_str());
    std::fflush(stdout);
}

LRESULT ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            WCHAR path[1024];
            DragQueryFileW(drop, i, path, 1024);
            printPath(path);
        }
        POINT point{};
        DragQueryPoint(drop, &point);
        std::fprintf(stderr, "x11_probe: %u file(s) dropped at %d,%d\n", count, static_cast<int>(point.x),
                     static_cast<int>(point.y));
        DragFinish(drop);
        return 0;
    }
    case WM_NCHITTEST:
        if (g_colorKey) return HTCAPTION;  // only the opaque middle receives the pointer
        break;
    case WM_LBUTTONDOWN:
        if (g_minimize) {
            std::fprintf(stderr, "x11_probe: minimize\n");
            AnimateWindow(hwnd, 200, AW_HIDE | AW_BLEND);
        }
        return 0;
    case kTrayMessage:
        if (lParam == WM_LBUTTONDOWN || lParam == WM_LBUTTONDBLCLK) {
            bool visible = IsWindowVisible(hwnd);
            std::fprintf(stderr, "x11_probe: tray %s\n", visible ? "hides" : "shows");
            ShowWindow(hwnd, visible ? SW_HIDE : SW_SHOW);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT all = {0, 0, kWidth, kHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(g_colorKey ? BLACK_BRUSH : WHITE_BRUSH)));
        if (g_colorKey) FillRect(dc, &kMiddle, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int run(const std::wstring& title, const char* message) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (message) {
        MessageBoxW(nullptr, widen(message).c_str(), L"Probe", MB_OK);
        return 0;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"x11_probe";
    if (!RegisterClassExW(&wc)) return 2;
    DWORD exStyle =
        WS_EX_ACCEPTFILES | (g_colorKey ? WS_EX_LAYERED : 0) | (g_strip ? WS_EX_TOOLWINDOW | WS_EX_TOPMOST : 0);
    HWND hwnd = CreateWindowExW(exStyle, L"x11_probe", title.c_str(), WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, kWidth,
                                kHeight, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 2;
    if (g_colorKey) SetLayeredWindowAttributes(hwnd, RGB(0, 0, 0), 0, LWA_COLORKEY);
    InvalidateRect(hwnd, nullptr, TRUE);
    NOTIFYICONDATAW icon{};
    if (g_tray) {
        icon.cbSize = NOTIFYICONDATAW_CURRENT_SIZE;
        icon.hWnd = hwnd;
        icon.uID = 1;
        icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        icon.uCallbackMessage = kTrayMessage;
        icon.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(6007));
        std::wcsncpy(icon.szTip, (title + L" tray").c_str(), 127);
        if (!Shell_NotifyIconW(NIM_ADD, &icon)) std::fprintf(stderr, "x11_probe: no tray yet\n");
    }
    if (g_popup) {
        wc.lpfnWndProc = PopupProc;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = L"x11_probe_popup";
        if (!RegisterClassExW(&wc)) return 2;
        HWND popup = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"x11_probe_popup", (title + L"-popup").c_str(),
                                     WS_POPUP | WS_VISIBLE, 40, 40, 100, 60, hwnd, nullptr, instance, nullptr);
        if (!popup) return 2;
        SetForegroundWindow(popup);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    if (g_tray) Shell_NotifyIconW(NIM_DELETE, &icon);
    return static_cast<int>(msg.wParam);
}

}  // namespace

int main(int argc, char** argv) {
    std::wstring title = L"x11_probe";
    const char* message = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--title") && i + 1 < argc) {
            title = widen(argv[++i]);
        } else if (!std::strcmp(argv[i], "--colorkey")) {
            g_colorKey = true;
        } else if (!std::strcmp(argv[i], "--popup")) {
            g_popup = true;
        } else if (!std::strcmp(argv[i], "--strip")) {
            g_strip = true;
        } else if (!std::strcmp(argv[i], "--tray")) {
            g_tray = true;
        } else if (!std::strcmp(argv[i], "--minimize")) {
            g_minimize = true;
        } else if (!std::strcmp(argv[i], "--message") && i + 1 < argc) {
            message = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: x11_probe [--title TITLE] [--colorkey] [--message TEXT] [--popup] [--strip] [--tray] "
                         "[--minimize]\n");
            return 1;
        }
    }
    win32::Backend* display = win32::createX11Backend();
    if (!display) {
        std::fprintf(stderr, "x11_probe: cannot open the display\n");
        return 1;
    }
    win32::installBackend(display);
    int status = run(title, message);
    win32::installBackend(nullptr);
    delete display;
    return status;
}
