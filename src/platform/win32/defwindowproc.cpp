// The default handling of messages a window procedure passes on.
#include "platform/win32/gdi.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/user.h"

namespace win32 {
// The last press as the display reported it (its own pixels).
POINT lastPressPoint();
}  // namespace win32

using namespace win32;

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = findWindow(hwnd);
    if (!window) return 0;
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_NCHITTEST: return HTCLIENT;
    case WM_ERASEBKGND: {
        HBRUSH brush = window->windowClass->background;
        if (!brush) return 0;
        RECT all{0, 0, window->width, window->height};
        FillRect(reinterpret_cast<HDC>(wParam), &all, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCAPTION) {
            SetForegroundWindow(hwnd);
            SendMessageW(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MOVE && backend()) backend()->startSystemMove(window->native, lastPressPoint());
        return 0;
    default: return 0;
    }
}
