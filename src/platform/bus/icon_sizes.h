// A tray icon at the sizes trays draw: hosts take the pixmap closest to
// their own size, so a large tray gets sharp pixels instead of a blurred
// stretch of a small one.
#pragma once

#include <cstdint>
#include <vector>

namespace bus {

// Straight A<<24|R<<16|G<<8|B pixels, row by row.
struct ArgbImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> argb;
};

// `source` shrunk so that its longer side is `side` (the shorter in
// proportion, at least 1): each pixel the average of the source area it
// covers, colours weighted by their alpha so clear pixels lend no colour.
// Empty for a source whose size does not match its pixels, or a side that
// is not positive or larger than the source's.
ArgbImage downscale(const ArgbImage& source, int side);

// The source at the common tray sizes (16, 22, 24, 32, 48, 64, 128) that
// are smaller than it, then the source itself; a source smaller than all
// of them is sent alone. Smallest first, each size once. Empty for a
// source whose size does not match its pixels.
std::vector<ArgbImage> iconSizes(const ArgbImage& source);

}  // namespace bus
