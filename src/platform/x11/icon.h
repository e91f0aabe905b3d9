// The window icon in the layout of _NET_WM_ICON.
#pragma once

#include <cstdint>
#include <vector>

namespace x11 {

// {width, height, pixels...} as C longs, the way Xlib takes format-32
// properties even where long is 64 bits. Pixels are straight
// A<<24|R<<16|G<<8|B. Empty when the size is not positive, too large, or does
// not match the pixel count.
std::vector<unsigned long> iconProperty(int width, int height, const std::vector<std::uint32_t>& argb);

}  // namespace x11
