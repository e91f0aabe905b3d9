// Between a scaled GDI+ bitmap's device pixels and the window pixels its
// locked bits show, and paths on the device grid.
#include <algorithm>
#include <cmath>

#include "platform/win32/internal/gdiplus_internal.h"
#include "platform/win32/internal/scale.h"

namespace win32 {

namespace {

// Where each device pixel of [from, to) lies between the copy's pixel
// centres: the copy's pixel at or before it, the weight (of 256) of the next
// one, and the copy's pixel it lies in.
struct Tap {
    int before;  // clamped to the copy, as is `after`
    int after;
    std::uint32_t weight;
    int own;
};

std::vector<Tap> taps(int from, int to, int origin, int size, double scale) {
    std::vector<Tap> out;
    out.reserve(static_cast<std::size_t>(std::max(0, to - from)));
    for (int d = from; d < to; ++d) {
        const double f = (d + 0.5) / scale - origin - 0.5;
        const double before = std::floor(f);
        Tap t{static_cast<int>(before), 0, static_cast<std::uint32_t>(std::lround((f - before) * 256)),
              static_cast<int>(std::floor(d / scale)) - origin};
        if (t.weight == 256) {
            ++t.before;
            t.weight = 0;
        }
        t.after = std::clamp(t.before + 1, 0, size - 1);
        t.before = std::clamp(t.before, 0, size - 1);
        t.own = std::clamp(t.own, 0, size - 1);
        out.push_back(t);
    }
    return out;
}

}  // namespace

std::vector<std::uint32_t> windowPixels(const ImageData& image, const Gdiplus::Rect& rect) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(rect.Width) * rect.Height, 0);
    // Each window pixel's device columns, found once for every row.
    std::vector<std::pair<int, int>> columns;
    for (int x = 0; x < rect.Width; ++x)
        columns.emplace_back(std::min(toDevice(rect.X + x, image.scale), image.width),
                             std::min(toDevice(rect.X + x + 1, image.scale), image.width));
    for (int y = 0; y < rect.Height; ++y) {
        const int top = std::min(toDevice(rect.Y + y, image.scale), image.height);
        const int bottom = std::min(toDevice(rect.Y + y + 1, image.scale), image.height);
        for (int x = 0; x < rect.Width; ++x) {
            const auto [left, right] = columns[static_cast<std::size_t>(x)];
            if (left >= right || top >= bottom) continue;
            const std::uint32_t first = image.pixels[static_cast<std::size_t>(top) * image.width + left];
            std::uint32_t sums[4] = {};
            std::uint32_t count = 0;
            bool flat = true;
            for (int dy = top; dy < bottom; ++dy) {
                const std::uint32_t* row = image.pixels.data() + static_cast<std::size_t>(dy) * image.width;
                for (int dx = left; dx < right; ++dx, ++count) {
                    flat = flat && row[dx] == first;
                    for (int c = 0; c < 4; ++c) sums[c] += (row[dx] >> (8 * c)) & 0xFF;
                }
            }
            if (flat) {
                out[static_cast<std::size_t>(y) * rect.Width + x] = first;
                continue;
            }
            std::uint32_t p = 0;
            for (int c = 0; c < 4; ++c) p |= ((sums[c] + count / 2) / count) << (8 * c);
            out[static_cast<std::size_t>(y) * rect.Width + x] = p;
        }
    }
    return out;
}

void putWindowPixels(ImageData& image, const Gdiplus::Rect& rect, const std::vector<std::uint32_t>& pixels) {
    const int left = toDevice(rect.X, image.scale);
    const int right = std::min(toDevice(rect.X + rect.Width, image.scale), image.width);
    const int top = toDevice(rect.Y, image.scale);
    const int bottom = std::min(toDevice(rect.Y + rect.Height, image.scale), image.height);
    const std::vector<Tap> across = taps(left, right, rect.X, rect.Width, image.scale);
    const std::vector<Tap> down = taps(top, bottom, rect.Y, rect.Height, image.scale);
    auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * rect.Width + x]; };
    for (int dy = top; dy < bottom; ++dy) {
        const Tap& ty = down[static_cast<std::size_t>(dy - top)];
        std::uint32_t* row = image.pixels.data() + static_cast<std::size_t>(dy) * image.width;
        for (int dx = left; dx < right; ++dx) {
            const Tap& tx = across[static_cast<std::size_t>(dx - left)];
            const std::uint32_t p00 = at(tx.before, ty.before), p10 = at(tx.after, ty.before);
            const std::uint32_t p01 = at(tx.before, ty.after), p11 = at(tx.after, ty.after);
            // Nothing shows where the window pixel it lies in shows nothing:
            // the picture keeps its extent rather than bleeding half a pixel.
            const bool ownShows = (at(tx.own, ty.own) >> 24) != 0;
            if (p00 == p10 && p00 == p01 && p00 == p11 && (ownShows || (p00 >> 24) == 0)) {
                row[dx] = p00;  // inside a flat area
                continue;
            }
            std::uint32_t p = 0;
            for (int c = 0; c < (ownShows ? 4 : 3); ++c) {
                const int shift = 8 * c;
                auto byte = [shift](std::uint32_t v) { return (v >> shift) & 0xFF; };
                const std::uint32_t upper = byte(p00) * (256 - tx.weight) + byte(p10) * tx.weight;
                const std::uint32_t lower = byte(p01) * (256 - tx.weight) + byte(p11) * tx.weight;
                p |= ((upper * (256 - ty.weight) + lower * ty.weight + 32768) >> 16) << shift;
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
