// Where a pop-up hears of a pointer that left it (see popup.cpp), in plain
// geometry that needs no display.
#pragma once

#include <algorithm>

#include "platform/win32/internal/backend.h"

namespace x11 {

// A point of a window `width` x `height` (client coordinates) moved just
// past the window's nearest edge, downward on a tie; a point outside stays.
inline POINT pastNearestEdge(POINT p, int width, int height) {
    if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) return p;
    const int toLeft = p.x + 1, toRight = width - p.x, toTop = p.y + 1, toBottom = height - p.y;
    const int nearest = std::min(std::min(toLeft, toRight), std::min(toTop, toBottom));
    if (nearest == toBottom) return {p.x, height};
    if (nearest == toTop) return {p.x, -1};
    if (nearest == toRight) return {width, p.y};
    return {-1, p.y};
}

}  // namespace x11
