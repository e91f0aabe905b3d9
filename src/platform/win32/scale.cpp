#include "platform/win32/internal/scale.h"

#include <cmath>

#include "platform/win32/internal/backend.h"

namespace win32 {

double displayScale() {
    Backend* b = backend();
    return b ? b->scale() : 1.0;
}

int toDevice(int logical, double scale) {
    if (scale == 1.0) return logical;
    return static_cast<int>(std::lround(logical * scale));
}

RECT toDevice(const RECT& r, double scale) {
    return RECT{toDevice(r.left, scale), toDevice(r.top, scale), toDevice(r.right, scale), toDevice(r.bottom, scale)};
}

POINT toDevice(POINT p, double scale) { return POINT{toDevice(p.x, scale), toDevice(p.y, scale)}; }

int toLogical(int device, double scale) {
    if (scale == 1.0) return device;
    return static_cast<int>(std::floor(device / scale));
}

POINT toLogical(POINT p, double scale) { return POINT{toLogical(p.x, scale), toLogical(p.y, scale)}; }

}  // namespace win32
