// The blur tests' image and the direct sum every shortcut of the kernel is
// held against. Includers are built with -ffp-contract=off, as the kernel
// is, so the reference rounds each product and sum as it does.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32/gdiplus.h"
#include "skin/ot_blurkernel.h"

// A packed 32-bit image with its lock record.
struct Image {
    Image(int w, int h, std::uint32_t fill = 0) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}

    Gdiplus::BitmapData Lock() {
        Gdiplus::BitmapData data{};
        data.Width = width;
        data.Height = height;
        data.Stride = width * 4;
        data.PixelFormat = PixelFormat32bppARGB;
        data.Scan0 = pixels.data();
        return data;
    }
    std::uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    BYTE byte(int x, int y, int k) { return reinterpret_cast<BYTE*>(&at(x, y))[k]; }

    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};

// The direct sum in the documented order, with no neighbour skipped.
inline std::vector<std::uint32_t> ReferenceBlur(const OstBlurKernel& kernel, const Image& image) {
    std::vector<std::uint32_t> out(image.pixels.size());
    const BYTE* src = reinterpret_cast<const BYTE*>(image.pixels.data());
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            double acc[4] = {0, 0, 0, 0};
            for (int dy = -3; dy <= 3; ++dy) {
                if (y + dy < 0 || y + dy >= image.height) continue;
                for (int dx = -3; dx <= 3; ++dx) {
                    if (x + dx < 0 || x + dx >= image.width) continue;
                    const BYTE* p = src + ((y + dy) * image.width + (x + dx)) * 4;
                    for (int k = 0; k < 4; ++k) acc[k] = p[k] * kernel.Weight(dx, dy) + acc[k];
                }
            }
            BYTE* o = reinterpret_cast<BYTE*>(&out[static_cast<size_t>(y) * image.width + x]);
            for (int k = 0; k < 4; ++k) o[k] = static_cast<BYTE>(static_cast<int>(acc[k]));
        }
    return out;
}
