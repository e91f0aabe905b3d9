// The desktop's scale: device pixels per window pixel. Everything above the
// backend (the window table, GDI, GDI+, hit testing) works in window pixels,
// the numbers the program uses; bitmaps hold device pixels and the backend
// is spoken to in them, so what is drawn is drawn at the screen's resolution.
#pragma once

#include "platform/win32/types.h"

namespace win32 {

// The installed backend's scale (1 with none). A bitmap keeps the scale it
// was made at.
double displayScale();

// A window coordinate on the device grid: edges are rounded on their own,
// so neighbouring rectangles stay neighbours.
int toDevice(int logical, double scale);
RECT toDevice(const RECT& logical, double scale);
POINT toDevice(POINT logical, double scale);
// The window pixel a device pixel lies in.
int toLogical(int device, double scale);
POINT toLogical(POINT device, double scale);

}  // namespace win32
