// The icon (taskbar) state of a window: hidden into it where nothing else
// could bring the window back, and restored from it by the window manager,
// when the window is shown and repainted whole.
#include "platform/win32/internal/events.h"
#include "platform/win32/internal/window.h"

namespace win32 {

bool iconifyWindow(Window& window) {
    if (!backend() || !backend()->iconify(window.native)) return false;
    if (window.visible) {
        SendMessageW(window.handle, WM_SHOWWINDOW, FALSE, 0);
        window.visible = false;
        window.style &= ~WS_VISIBLE;
    }
    return true;
}

void onRestored(NativeWindow native) {
    HWND hwnd = windowForNative(native);
    auto window = findWindow(hwnd);
    if (!window || window->visible || window->destroying) return;
    SendMessageW(hwnd, WM_SHOWWINDOW, TRUE, 0);
    if (!IsWindow(hwnd)) return;
    window->visible = true;
    window->style |= WS_VISIBLE;
    invalidateWhole(*window, true);
}

}  // namespace win32
