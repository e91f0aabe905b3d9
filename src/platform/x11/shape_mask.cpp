// Building the colour-key shape mask from a BGRA surface.
#include "platform/x11/shape_mask.h"

namespace x11 {

ShapeMask buildShapeMask(const win32::PixelView& surface, COLORREF key) {
    ShapeMask mask;
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0) return mask;
    mask.width = surface.width;
    mask.height = surface.height;
    const int rowBytes = mask.bytesPerRow();
    mask.bits.assign(static_cast<size_t>(rowBytes) * mask.height, 0);

    // COLORREF is 0x00BBGGRR; a BGRA pixel read as a 32-bit word is 0xAARRGGBB.
    const std::uint32_t keyRgb = ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
    const auto* row = reinterpret_cast<const std::uint8_t*>(surface.pixels);
    for (int y = 0; y < mask.height; ++y, row += surface.stride) {
        const auto* pixel = reinterpret_cast<const std::uint32_t*>(row);
        std::uint8_t* out = &mask.bits[static_cast<size_t>(y) * rowBytes];
        for (int x = 0; x < mask.width; ++x) {
            if ((pixel[x] & 0xFFFFFF) != keyRgb) out[x / 8] |= static_cast<std::uint8_t>(1u << (x % 8));
        }
    }
    return mask;
}

}  // namespace x11
