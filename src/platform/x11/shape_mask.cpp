// Building the colour-key shape mask from a BGRA surface, and the key as
// alpha.
#include "platform/x11/shape_mask.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace x11 {

namespace {

// COLORREF is 0x00BBGGRR; a BGRA pixel read as a 32-bit word is 0xAARRGGBB.
std::uint32_t keyAsPixel(COLORREF key) { return ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF); }

void buildRow(const std::uint8_t* row, int width, KeyTest test, std::uint8_t* out) {
    const auto* pixel = reinterpret_cast<const std::uint32_t*>(row);
    for (int x = 0; x < width; x += 8) {
        const int end = std::min(width, x + 8);
        std::uint8_t byte = 0;
        for (int i = x; i < end; ++i)
            byte |= static_cast<std::uint8_t>(((pixel[i] & test.mask) != test.value) << (i - x));
        out[x / 8] = byte;
    }
}

}  // namespace

KeyTest colourKeyTest(COLORREF key) { return {0xFFFFFF, keyAsPixel(key)}; }

ShapeMask buildShapeMask(const win32::PixelView& surface, KeyTest test) {
    ShapeMask mask;
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0) return mask;
    mask.width = surface.width;
    mask.height = surface.height;
    const int rowBytes = mask.bytesPerRow();
    mask.bits.assign(static_cast<size_t>(rowBytes) * mask.height, 0);
    const auto* row = reinterpret_cast<const std::uint8_t*>(surface.pixels);
    for (int y = 0; y < mask.height; ++y, row += surface.stride)
        buildRow(row, mask.width, test, &mask.bits[static_cast<size_t>(y) * rowBytes]);
    return mask;
}

bool updateShapeMaskRows(ShapeMask& mask, const win32::PixelView& surface, KeyTest test, int top, int bottom) {
    if (!surface.pixels || surface.width != mask.width || surface.height != mask.height) return false;
    top = std::max(0, top);
    bottom = std::min(mask.height, bottom);
    const int rowBytes = mask.bytesPerRow();
    std::vector<std::uint8_t> fresh(static_cast<size_t>(rowBytes));
    bool changed = false;
    for (int y = top; y < bottom; ++y) {
        buildRow(reinterpret_cast<const std::uint8_t*>(surface.pixels) + static_cast<size_t>(y) * surface.stride,
                 mask.width, test, fresh.data());
        std::uint8_t* old = &mask.bits[static_cast<size_t>(y) * rowBytes];
        if (std::memcmp(old, fresh.data(), fresh.size()) != 0) {
            std::memcpy(old, fresh.data(), fresh.size());
            changed = true;
        }
    }
    return changed;
}

RECT opaqueBounds(const ShapeMask& mask) {
    RECT bounds{mask.width, mask.height, 0, 0};
    const int rowBytes = mask.bytesPerRow();
    for (int y = 0; y < mask.height; ++y) {
        const std::uint8_t* row = &mask.bits[static_cast<size_t>(y) * rowBytes];
        int first = 0;
        while (first < rowBytes && !row[first]) ++first;
        if (first == rowBytes) continue;
        int last = rowBytes - 1;
        while (!row[last]) --last;
        // Bits run least significant first: the lowest set bit of the first
        // byte is the leftmost pixel, the highest of the last the rightmost.
        const int left = first * 8 + std::countr_zero(row[first]);
        const int right = last * 8 + 8 - std::countl_zero(row[last]);
        bounds.left = std::min<LONG>(bounds.left, left);
        bounds.right = std::max<LONG>(bounds.right, right);
        bounds.top = std::min<LONG>(bounds.top, y);
        bounds.bottom = y + 1;
    }
    if (bounds.right <= bounds.left) return RECT{};
    return bounds;
}

void keyToAlpha(const std::uint32_t* from, std::uint32_t* to, int count, bool keyed, COLORREF key) {
    // Unkeyed, no pixel matches a value above 24 bits.
    const std::uint32_t keyRgb = keyed ? keyAsPixel(key) : 0xFFFFFFFFu;
    auto store = [keyRgb](std::uint32_t pixel) {
        const std::uint32_t rgb = pixel & 0xFFFFFF;
        return (rgb | 0xFF000000u) & (0u - static_cast<std::uint32_t>(rgb != keyRgb));
    };
    // Four at a time, all read before any is written (`to` may be `from`):
    // the compiler turns each group into vector operations.
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        std::uint32_t group[4];
        for (int j = 0; j < 4; ++j) group[j] = from[i + j];
        for (int j = 0; j < 4; ++j) to[i + j] = store(group[j]);
    }
    for (; i < count; ++i) to[i] = store(from[i]);
}

void alphaToKey(std::uint32_t* pixels, std::size_t count, bool keyed, COLORREF key) {
    const std::uint32_t keyRgb = keyed ? keyAsPixel(key) : 0;
    for (std::size_t i = 0; i < count; ++i)
        if (!(pixels[i] >> 24)) pixels[i] = keyRgb;
}

}  // namespace x11
