// Between a scaled GDI+ bitmap's device pixels and the window pixels its
// locked bits show, and paths on the device grid.
#include <algorithm>
#include <cmath>

#include "platform/win32/internal/gdiplus_internal.h"
#include "platform/win32/internal/scale.h"

namespace win32 {

std::vector<std::uint32_t> windowPixels(const ImageData& image, const Gdiplus::Rect& rect) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(rect.Width) * rect.Height, 0);
    for (int y = 0; y < rect.Height; ++y) {
        const int top = std::min(toDevice(rect.Y + y, image.scale), image.height);
        const int bottom = std::min(toDevice(rect.Y + y + 1, image.scale), image.height);
        for (int x = 0; x < rect.Width; ++x) {
            const int left = std::min(toDevice(rect.X + x, image.scale), image.width);
            const int right = std::min(toDevice(rect.X + x + 1, image.scale), image.width);
            std::uint32_t sums[4] = {};
            std::uint32_t count = 0;
            for (int dy = top; dy < bottom; ++dy) {
                const std::uint32_t* row = image.pixels.data() + static_cast<std::size_t>(dy) * image.width;
                for (int dx = left; dx < right; ++dx, ++count)
                    for (int c = 0; c < 4; ++c) sums[c] += (row[dx] >> (8 * c)) & 0xFF;
            }
            if (count == 0) continue;
            std::uint32_t p = 0;
            for (int c = 0; c < 4; ++c) p |= ((sums[c] + count / 2) / count) << (8 * c);
            out[static_cast<std::size_t>(y) * rect.Width + x] = p;
        }
    }
    return out;
}

void putWindowPixels(ImageData& image, const Gdiplus::Rect& rect, const std::vector<std::uint32_t>& pixels) {
    const int left = toDevice(rect.X, image.scale),
              right = std::min(toDevice(rect.X + rect.Width, image.scale), image.width);
    const int top = toDevice(rect.Y, image.scale),
              bottom = std::min(toDevice(rect.Y + rect.Height, image.scale), image.height);
    auto at = [&](int x, int y) {
        x = std::clamp(x, 0, rect.Width - 1);
        y = std::clamp(y, 0, rect.Height - 1);
        return pixels[static_cast<std::size_t>(y) * rect.Width + x];
    };
    for (int dy = top; dy < bottom; ++dy) {
        // The device pixel's centre in the copy's pixels, whose centres are at +0.5.
        const double fy = (dy + 0.5) / image.scale - rect.Y - 0.5;
        const int y0 = static_cast<int>(std::floor(fy));
        const double wy = fy - y0;
        std::uint32_t* row = image.pixels.data() + static_cast<std::size_t>(dy) * image.width;
        for (int dx = left; dx < right; ++dx) {
            const double fx = (dx + 0.5) / image.scale - rect.X - 0.5;
            const int x0 = static_cast<int>(std::floor(fx));
            const double wx = fx - x0;
            const std::uint32_t p00 = at(x0, y0), p10 = at(x0 + 1, y0), p01 = at(x0, y0 + 1), p11 = at(x0 + 1, y0 + 1);
            // Nothing shows where the window pixel it lies in shows nothing:
            // the picture keeps its extent rather than bleeding half a pixel.
            const std::uint32_t own = at(static_cast<int>(std::floor(dx / image.scale)) - rect.X,
                                         static_cast<int>(std::floor(dy / image.scale)) - rect.Y);
            const int channels = (own >> 24) == 0 ? 3 : 4;
            std::uint32_t p = 0;
            for (int c = 0; c < channels; ++c) {
                auto byte = [c](std::uint32_t v) { return static_cast<double>((v >> (8 * c)) & 0xFF); };
                const double v =
                    (byte(p00) * (1 - wx) + byte(p10) * wx) * (1 - wy) + (byte(p01) * (1 - wx) + byte(p11) * wx) * wy;
                p |= static_cast<std::uint32_t>(std::clamp(std::lround(v), 0L, 255L)) << (8 * c);
            }
            row[dx] = p;
        }
    }
}

PathData scaledPath(const PathData& path, double scale) {
    PathData out = path;
    for (auto& figure : out.figures)
        for (auto& point : figure.points) {
            point.X = static_cast<Gdiplus::REAL>(point.X * scale);
            point.Y = static_cast<Gdiplus::REAL>(point.Y * scale);
        }
    return out;
}

}  // namespace win32
