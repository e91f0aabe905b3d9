// X11 pointer events as the core's pointer events, for every window of ours
// that takes the pointer.
#pragma once

#include <X11/Xlib.h>

#include "platform/win32/internal/events.h"

namespace x11 {

// False for the buttons the program does not use (the wheel and beyond).
inline bool pointerFromButton(const XButtonEvent& b, win32::PointerEvent* pointer) {
    if (b.button < 1 || b.button > 3) return false;
    pointer->action = b.type == ButtonPress ? win32::PointerAction::Press : win32::PointerAction::Release;
    pointer->button = static_cast<int>(b.button);
    pointer->screen = {b.x_root, b.y_root};
    pointer->client = {b.x, b.y};
    pointer->time = static_cast<DWORD>(b.time);
    return true;
}

inline win32::PointerEvent pointerFromMotion(const XMotionEvent& m) {
    win32::PointerEvent pointer;
    pointer.screen = {m.x_root, m.y_root};
    pointer.client = {m.x, m.y};
    pointer.time = static_cast<DWORD>(m.time);
    return pointer;
}

// The pointer's place as it left the window (a LeaveNotify).
inline win32::PointerEvent pointerFromCrossing(const XCrossingEvent& c) {
    win32::PointerEvent pointer;
    pointer.screen = {c.x_root, c.y_root};
    pointer.client = {c.x, c.y};
    pointer.time = static_cast<DWORD>(c.time);
    return pointer;
}

}  // namespace x11
