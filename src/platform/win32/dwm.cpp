// Composition comes from the backend (a compositing manager on X11); the
// blur region is handed to it as rectangles.
#include "platform/win32/dwm.h"

#include "platform/win32/internal/scale.h"
#include "platform/win32/internal/window.h"

namespace win32 {

void sendBlurRegion(const Window& window) {
    if (!backend() || !window.native) return;
    const double scale = window.surface ? window.surface->scale : 1.0;
    std::vector<RECT> device;
    for (const RECT& r : window.blur) device.push_back(toDevice(r, scale));
    backend()->setBlurRegion(window.native, device);
}

}  // namespace win32

using namespace win32;

HRESULT DwmIsCompositionEnabled(BOOL* enabled) {
    if (!enabled) return E_INVALIDARG;
    *enabled = backend() && backend()->compositionEnabled() ? TRUE : FALSE;
    return S_OK;
}

HRESULT DwmEnableBlurBehindWindow(HWND hwnd, const DWM_BLURBEHIND* blur) {
    auto window = findWindow(hwnd);
    if (!window || !blur) return E_INVALIDARG;
    if (!backend()) return E_FAIL;
    std::vector<RECT> rects;
    if ((blur->dwFlags & DWM_BB_ENABLE) && blur->fEnable) {
        auto region = (blur->dwFlags & DWM_BB_BLURREGION) ? findRegion(blur->hRgnBlur) : nullptr;
        if (region) {
            for (int i = 0, n = cairo_region_num_rectangles(region->region); i < n; ++i) {
                cairo_rectangle_int_t r;
                cairo_region_get_rectangle(region->region, i, &r);
                rects.push_back(RECT{r.x, r.y, r.x + r.width, r.y + r.height});
            }
        } else {
            rects.push_back(RECT{0, 0, window->width, window->height});
        }
    }
    window->blur = std::move(rects);
    sendBlurRegion(*window);
    return S_OK;
}
