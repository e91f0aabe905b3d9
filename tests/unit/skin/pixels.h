// Reading device bitmaps back in tests: premultiplied BGRA, one uint32_t a
// pixel (0xAARRGGBB).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32/internal/gdi_objects.h"

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> data;

    std::uint32_t at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
    static int alpha(std::uint32_t p) { return p >> 24; }
    static int red(std::uint32_t p) { return (p >> 16) & 0xFF; }
    static int green(std::uint32_t p) { return (p >> 8) & 0xFF; }
    static int blue(std::uint32_t p) { return p & 0xFF; }
};

inline Pixels ReadPixels(HBITMAP hbm) {
    Pixels pixels;
    auto bitmap = win32::findBitmap(hbm);
    if (!bitmap) return pixels;
    cairo_surface_flush(bitmap->surface());
    pixels.width = bitmap->width;
    pixels.height = bitmap->height;
    for (int y = 0; y < bitmap->height; ++y)
        pixels.data.insert(pixels.data.end(), bitmap->row(y), bitmap->row(y) + bitmap->width);
    return pixels;
}
