// AnimateWindow: the blended hide, a fade of the window's opacity where a
// compositor can show it, otherwise a plain hide after the same time. A
// top-level window whose tray icon no tray shows is iconified instead of
// hidden, so the desktop can still bring it back (left shown where nothing
// could); restored, it is shown and repainted whole.
#include <chrono>
#include <thread>

#include "platform/win32/internal/events.h"
#include "platform/win32/internal/notify_icons.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/user.h"

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

using namespace win32;

BOOL AnimateWindow(HWND hwnd, DWORD time, DWORD flags) {
    auto window = findWindow(hwnd);
    if (!window) return FALSE;
    // Only the blended hide is used; other animations are not provided.
    if ((flags & (AW_HIDE | AW_BLEND)) != (AW_HIDE | AW_BLEND)) return FALSE;
    if (!window->visible) return FALSE;

    Backend* display = backend();
    const bool fade = display != nullptr && display->compositionEnabled();
    const auto start = std::chrono::steady_clock::now();
    const auto duration = std::chrono::milliseconds(time);
    // About sixty steps a second: smooth on screen, few property changes.
    const auto step = std::chrono::milliseconds(16);
    for (;;) {
        auto elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed >= duration) break;
        if (fade) display->setOpacity(window->native, 1.0 - std::chrono::duration<double>(elapsed) / duration);
        if (display) display->flush();
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(step, duration - elapsed));
    }
    if (fade) display->setOpacity(window->native, 0.0);
    // With no tray to bring it back, hiding would strand the window: it is
    // iconified, or, where nothing could restore that either, left shown.
    if (window->owned || notifyIconShown(hwnd))
        ShowWindow(hwnd, SW_HIDE);
    else
        iconifyWindow(*window);
    if (fade && IsWindow(hwnd)) display->setOpacity(window->native, 1.0);
    return TRUE;
}
