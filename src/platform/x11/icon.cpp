// Converting icon pixels to the _NET_WM_ICON property layout.
#include "platform/x11/icon.h"

#include <cstddef>

namespace x11 {

std::vector<unsigned long> iconProperty(int width, int height, const std::vector<std::uint32_t>& argb) {
    constexpr int kMaxSide = 1024;  // beyond this the property outgrows a request
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return {};
    const std::size_t count = static_cast<size_t>(width) * height;
    if (argb.size() != count) return {};
    std::vector<unsigned long> property;
    property.reserve(count + 2);
    property.push_back(static_cast<unsigned long>(width));
    property.push_back(static_cast<unsigned long>(height));
    for (std::uint32_t pixel : argb) property.push_back(pixel);
    return property;
}

}  // namespace x11
