// Rounded-rectangle regions, built row by row.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/win32/gdi.h"
#include "platform/win32/internal/gdi_objects.h"

using namespace win32;

// Each corner is a quarter of an ellipseWidth x ellipseHeight ellipse set in
// that corner of the rectangle; a row keeps the pixels whose centres lie
// inside the rounded outline. Right and bottom edges are excluded, and the
// shape is symmetric left to right and top to bottom.
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    int width = right - left, height = bottom - top;
    int ew = std::min(std::abs(ellipseWidth), width);
    int eh = std::min(std::abs(ellipseHeight), height);
    if (ew < 2 || eh < 2) return CreateRectRgn(left, top, right, bottom);

    double a = ew / 2.0, b = eh / 2.0;
    std::vector<int> inset(static_cast<std::size_t>(height), 0);
    for (int k = 0; k < height / 2 + 1 && k < height; ++k) {
        double dy = b - (k + 0.5);  // distance of the row's centre above the ellipse's centre
        if (dy <= 0) break;
        double dx = a * std::sqrt(std::max(0.0, 1.0 - (dy / b) * (dy / b)));
        int in = static_cast<int>(std::ceil(a - dx - 0.5));
        in = std::clamp(in, 0, width / 2);
        inset[static_cast<std::size_t>(k)] = in;
        inset[static_cast<std::size_t>(height - 1 - k)] = in;
    }
    std::vector<cairo_rectangle_int_t> rows;
    for (int k = 0; k < height; ++k) {
        int in = inset[static_cast<std::size_t>(k)];
        if (width - 2 * in > 0) rows.push_back({left + in, top + k, width - 2 * in, 1});
    }
    auto region =
        std::make_shared<RegionObject>(cairo_region_create_rectangles(rows.data(), static_cast<int>(rows.size())));
    return static_cast<HRGN>(addHandle(HandleKind::Region, region));
}
