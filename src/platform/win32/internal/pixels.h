// Arithmetic on 32-bit BGRA pixels (alpha in the top byte), shared by the
// GDI transfers, GDI+ drawing and image loading, and the icons.
#pragma once

#include <algorithm>
#include <cstdint>

namespace win32 {

// x / 255, rounded to nearest, exact for every x up to 255 * 255.
inline std::uint32_t div255(std::uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

inline std::uint32_t channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFF; }

// Straight colour to premultiplied: each colour byte scaled by alpha.
inline std::uint32_t premultiply(std::uint32_t p) {
    std::uint32_t a = p >> 24;
    return (a << 24) | (div255(channel(p, 16) * a) << 16) | (div255(channel(p, 8) * a) << 8) |
           div255(channel(p, 0) * a);
}

// Premultiplied colour back to straight, rounded. Transparent pixels become
// 0; a colour byte above its alpha (not validly premultiplied) saturates.
inline std::uint32_t unpremultiply(std::uint32_t p) {
    std::uint32_t a = p >> 24;
    if (a == 0) return 0;
    if (a == 255) return p;
    std::uint32_t out = a << 24;
    for (int shift = 0; shift < 24; shift += 8)
        out |= std::min<std::uint32_t>(255, (channel(p, shift) * 255 + a / 2) / a) << shift;
    return out;
}

}  // namespace win32
