// Update regions and painting: InvalidateRect from any thread, BeginPaint
// and EndPaint on the window's backing surface, and window DCs.
#include "platform/win32/gdi.h"
#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/user.h"

namespace win32 {
namespace {

cairo_rectangle_int_t toCairo(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

RECT extents(cairo_region_t* region) {
    cairo_rectangle_int_t box;
    cairo_region_get_extents(region, &box);
    return RECT{box.x, box.y, box.x + box.width, box.y + box.height};
}

}  // namespace
}  // namespace win32

using namespace win32;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    auto window = findWindow(hwnd);
    if (!window) return FALSE;
    if (invalidationsLogged()) recordInvalidation({hwnd, rect ? *rect : RECT{}, rect == nullptr});
    {
        std::lock_guard lock(window->paintMutex);
        if (window->destroying || !IsWindow(hwnd)) return FALSE;
        cairo_rectangle_int_t area = rect ? toCairo(*rect) : cairo_rectangle_int_t{0, 0, window->width, window->height};
        if (area.width <= 0 || area.height <= 0) return TRUE;
        cairo_region_t* added = cairo_region_create_rectangle(&area);
        cairo_rectangle_int_t client{0, 0, window->width, window->height};
        cairo_region_intersect_rectangle(added, &client);
        if (!cairo_region_is_empty(added)) {
            cairo_region_union(window->updateRegion, added);
            window->eraseNeeded = window->eraseNeeded || erase;
        }
        cairo_region_destroy(added);
    }
    wakeMessageLoop();
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    auto window = findWindow(hwnd);
    if (!window) return FALSE;
    std::lock_guard lock(window->paintMutex);
    if (!rect) {
        cairo_region_destroy(window->updateRegion);
        window->updateRegion = cairo_region_create();
    } else {
        cairo_rectangle_int_t area = toCairo(*rect);
        cairo_region_t* removed = cairo_region_create_rectangle(&area);
        cairo_region_subtract(window->updateRegion, removed);
        cairo_region_destroy(removed);
    }
    if (cairo_region_is_empty(window->updateRegion)) window->eraseNeeded = false;
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    auto window = findWindow(hwnd);
    if (!window) return FALSE;
    std::lock_guard lock(window->paintMutex);
    bool empty = cairo_region_is_empty(window->updateRegion);
    if (rect) *rect = empty ? RECT{0, 0, 0, 0} : extents(window->updateRegion);
    return empty ? FALSE : TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    auto window = findWindow(hwnd);
    if (!window || !paint) return nullptr;
    cairo_region_t* region;
    bool erase;
    {
        std::lock_guard lock(window->paintMutex);
        region = window->updateRegion;
        window->updateRegion = cairo_region_create();
        erase = window->eraseNeeded;
        window->eraseNeeded = false;
    }
    *paint = PAINTSTRUCT{};
    paint->rcPaint = extents(region);
    paint->hdc = createWindowDc(hwnd, window->surface, region);
    paint->fErase = TRUE;
    if (erase)
        paint->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) ? FALSE : TRUE;
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    auto window = findWindow(hwnd);
    if (!paint) return FALSE;
    auto dc = findDc(paint->hdc);
    if (!dc || dc->window != hwnd) return FALSE;
    if (window && !IsRectEmpty(&paint->rcPaint)) presentWindow(*window, paint->rcPaint);
    removeHandle(paint->hdc, HandleKind::Dc);
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    // The screen's DC has nothing of ours to draw on, but serves to make
    // compatible DCs and bitmaps.
    if (!hwnd) return createWindowDc(nullptr, nullptr, nullptr);
    auto window = findWindow(hwnd);
    if (!window) return nullptr;
    return createWindowDc(hwnd, window->surface, nullptr);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
    auto dc = findDc(hdc);
    if (!dc || dc->window != hwnd || dc->memory) return 0;
    // What was drawn through a window DC goes to the screen at once, as in
    // GDI; a DC only taken to make compatible ones costs no present.
    if (auto window = findWindow(hwnd); window && dc->drawnOn)
        presentWindow(*window, RECT{0, 0, window->width, window->height});
    removeHandle(hdc, HandleKind::Dc);
    return 1;
}

BOOL UpdateWindow(HWND hwnd) {
    auto window = findWindow(hwnd);
    if (!window) return FALSE;
    bool pending;
    {
        std::lock_guard lock(window->paintMutex);
        pending = !cairo_region_is_empty(window->updateRegion);
    }
    if (pending && window->visible) SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}
