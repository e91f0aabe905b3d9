// The colour key as a 1-bit shape mask: which pixels of a window stay.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32/internal/backend.h"

namespace x11 {

// One bit a pixel, least significant bit first, (width + 7) / 8 bytes a row:
// the layout XCreateBitmapFromData reads.
struct ShapeMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bits;

    int bytesPerRow() const { return (width + 7) / 8; }
    bool opaqueAt(int x, int y) const { return (bits[y * bytesPerRow() + x / 8] >> (x % 8)) & 1; }
    bool operator==(const ShapeMask&) const = default;
};

// Set bits mark pixels whose three colour bytes differ from `key`; alpha is
// ignored, as Win32 ignores it for a colour key.
ShapeMask buildShapeMask(const win32::PixelView& surface, COLORREF key);

// Recomputes rows [top, bottom) of `mask` from a surface of the mask's size
// and reports whether any bit changed. Rows outside are left as they are.
bool updateShapeMaskRows(ShapeMask& mask, const win32::PixelView& surface, COLORREF key, int top, int bottom);

}  // namespace x11
