// What a colour-keyed window shows, split into rectangles to cover with X
// windows of their own: compositors that pick a window by its rectangle
// (mutter, KWin, wlroots under Xwayland) give a click on a see-through
// pixel inside it to the window, so one box over a strip and a bubble
// above piece of it would take the clicks beside the bubble.
#pragma once

#include <vector>

#include "platform/x11/shape_mask.h"

namespace x11 {

// Rectangles over bands of whole rows that together hold every set bit of
// `mask`, top to bottom, none overlapping; none when no bit is set. Each
// rectangle beyond the first costs `partCost` square pixels (an X window
// more to keep in step), so a band is cut off only where that saves more
// see-through area than it costs: a bubble narrower than the strip below,
// never a rounded corner.
std::vector<RECT> shownPieces(const ShapeMask& mask, long partCost);

// The index of the rectangle with the largest area (the first of equals);
// -1 for none.
int largestPiece(const std::vector<RECT>& pieces);

}  // namespace x11
