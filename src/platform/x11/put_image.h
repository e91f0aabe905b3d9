// Putting pixels the program drew on an X drawable: the windows' contents,
// the message box and the tray's icons and tooltip all go this way.
#pragma once

#include <X11/Xlib.h>

namespace x11 {

// Puts `width` x `height` 32-bit pixels, in the visual's layout and the
// host's byte order (Xlib swaps them for a server of the other), rows
// `stride` bytes apart, at (x, y) of `target`. The pixels stay the caller's.
void putImage(Display* display, Drawable target, GC gc, Visual* visual, int depth, void* pixels, int stride, int x,
              int y, int width, int height);

}  // namespace x11
