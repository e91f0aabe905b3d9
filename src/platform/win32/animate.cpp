// AnimateWindow: the blended hide, a fade of the window's opacity where a
// compositor can show it, otherwise a plain hide after the same time.
#include <chrono>
#include <thread>

#include "platform/win32/internal/window.h"
#include "platform/win32/user.h"

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
        if (fade) display->setOpacity(window->native, 1.0 - double(elapsed.count()) / double(duration.count()));
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(step, duration - elapsed));
    }
    ShowWindow(hwnd, SW_HIDE);
    if (fade && IsWindow(hwnd)) display->setOpacity(window->native, 1.0);
    return TRUE;
}
