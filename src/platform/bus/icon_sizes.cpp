// Area-averaging the tray icon down to the sizes trays draw.
#include "platform/bus/icon_sizes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace bus {

namespace {

bool valid(const ArgbImage& image) {
    return image.width > 0 && image.height > 0 &&
           image.argb.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

// How much of each source pixel along one axis falls into each of `to`
// output pixels, as the output's first source pixel and the share of each.
struct Span {
    int first = 0;
    std::vector<double> shares;
};

std::vector<Span> spans(int from, int to) {
    std::vector<Span> out(static_cast<size_t>(to));
    const double step = double(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * step, end = (i + 1) * step;
        Span& span = out[static_cast<size_t>(i)];
        span.first = static_cast<int>(std::floor(begin));
        const int last = std::min(from - 1, static_cast<int>(std::ceil(end)) - 1);
        for (int s = span.first; s <= last; ++s)
            span.shares.push_back(std::min<double>(end, s + 1) - std::max<double>(begin, s));
    }
    return out;
}

std::uint32_t byteOf(double value) { return static_cast<std::uint32_t>(std::clamp(std::lround(value), 0L, 255L)); }

}  // namespace

ArgbImage downscale(const ArgbImage& source, int side) {
    const int longer = std::max(source.width, source.height);
    if (!valid(source) || side <= 0 || side > longer) return {};
    ArgbImage out;
    out.width = std::max(1, static_cast<int>(std::lround(double(source.width) * side / longer)));
    out.height = std::max(1, static_cast<int>(std::lround(double(source.height) * side / longer)));
    const std::vector<Span> columns = spans(source.width, out.width);
    const std::vector<Span> rows = spans(source.height, out.height);
    out.argb.reserve(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    for (const Span& row : rows) {
        for (const Span& column : columns) {
            double area = 0, alpha = 0, red = 0, green = 0, blue = 0;
            for (size_t dy = 0; dy < row.shares.size(); ++dy) {
                const std::uint32_t* line = &source.argb[static_cast<size_t>(row.first + static_cast<int>(dy)) *
                                                         static_cast<size_t>(source.width)];
                for (size_t dx = 0; dx < column.shares.size(); ++dx) {
                    const std::uint32_t p = line[column.first + static_cast<int>(dx)];
                    const double share = row.shares[dy] * column.shares[dx];
                    const double a = (p >> 24) * share;
                    area += share;
                    alpha += a;
                    red += ((p >> 16) & 0xFF) * a;
                    green += ((p >> 8) & 0xFF) * a;
                    blue += (p & 0xFF) * a;
                }
            }
            const std::uint32_t a = byteOf(alpha / area);
            out.argb.push_back(
                a == 0 ? 0 : a << 24 | byteOf(red / alpha) << 16 | byteOf(green / alpha) << 8 | byteOf(blue / alpha));
        }
    }
    return out;
}

std::vector<ArgbImage> iconSizes(const ArgbImage& source) {
    if (!valid(source)) return {};
    constexpr int kTraySizes[] = {16, 22, 24, 32, 48, 64, 128};
    const int longer = std::max(source.width, source.height);
    std::vector<ArgbImage> sizes;
    for (int side : kTraySizes)
        if (side < longer) sizes.push_back(downscale(source, side));
    sizes.push_back(source);
    return sizes;
}

}  // namespace bus
