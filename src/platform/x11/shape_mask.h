// The colour key as a 1-bit shape mask (which pixels of a window stay), and
// as alpha for a window on a 32-bit visual.
#pragma once

#include <cstddef>
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

// Which stored pixels are keyed: those whose bits under `mask` equal `value`.
struct KeyTest {
    std::uint32_t mask = 0;
    std::uint32_t value = 0;
};

// Pixels as the core paints them: the three colour bytes against `key`;
// alpha is ignored, as Win32 ignores it for a colour key.
KeyTest colourKeyTest(COLORREF key);
// Pixels stored by keyToAlpha: keyed is alpha 0.
constexpr KeyTest kAlphaKeyTest{0xFF000000u, 0};

// Set bits mark the pixels that are not keyed.
ShapeMask buildShapeMask(const win32::PixelView& surface, KeyTest test);
inline ShapeMask buildShapeMask(const win32::PixelView& surface, COLORREF key) {
    return buildShapeMask(surface, colourKeyTest(key));
}

// Recomputes rows [top, bottom) of `mask` from a surface of the mask's size
// and reports whether any bit changed. Rows outside are left as they are.
bool updateShapeMaskRows(ShapeMask& mask, const win32::PixelView& surface, KeyTest test, int top, int bottom);
inline bool updateShapeMaskRows(ShapeMask& mask, const win32::PixelView& surface, COLORREF key, int top, int bottom) {
    return updateShapeMaskRows(mask, surface, colourKeyTest(key), top, bottom);
}

// The smallest rectangle holding every set bit; empty (all zero) when no bit
// is set.
RECT opaqueBounds(const ShapeMask& mask);

// For a 32-bit visual, whose alpha a compositor reads: `count` painted
// pixels become keyed 0 (clear, premultiplied) or opaque with their colour
// bytes kept, the colours a 24-bit visual shows. Unkeyed, all are opaque.
// `from` may be `to`.
void keyToAlpha(const std::uint32_t* from, std::uint32_t* to, int count, bool keyed, COLORREF key);
// The inverse, for a key that changes: clear pixels get the key's colour
// back (black when there was none).
void alphaToKey(std::uint32_t* pixels, std::size_t count, bool keyed, COLORREF key);

}  // namespace x11
