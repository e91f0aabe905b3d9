// GDI object lifetimes: device contexts, bitmaps, brushes, regions, stock
// objects, and the rules for selecting and deleting them.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/win32/gdi.h"
#include "platform/win32/internal/gdi_objects.h"
#include "platform/win32/internal/scale.h"

namespace win32 {

namespace {

const cairo_user_data_key_t kOwnedPixels{};

}  // namespace

BitmapObject::BitmapObject(int w, int h, double s)
    : width(toDevice(w, s)), height(toDevice(h, s)), logicalWidth(w), logicalHeight(h), scale(s) {
    // Left uncleared here; surface() and row() clear it on first use.
    w = width;
    h = height;
    stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w);
    unsigned char* data =
        stride > 0
            ? static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h)))
            : nullptr;
    if (data) {
        m_surface = cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, w, h, stride);
        if (cairo_surface_set_user_data(m_surface, &kOwnedPixels, data, std::free) == CAIRO_STATUS_SUCCESS) {
            m_clearPending = true;
            return;
        }
        cairo_surface_destroy(m_surface);
        std::free(data);
    }
    // Without memory of our own, cairo's cleared surface (or its error one).
    m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    stride = cairo_image_surface_get_stride(m_surface);
}

BitmapObject::~BitmapObject() { cairo_surface_destroy(m_surface); }

cairo_surface_t* BitmapObject::surface() const {
    if (m_clearPending) {
        m_clearPending = false;
        std::memset(cairo_image_surface_get_data(m_surface), 0, static_cast<std::size_t>(stride) * height);
    }
    return m_surface;
}

std::uint32_t* BitmapObject::row(int y) const {
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface()) +
                                            static_cast<std::ptrdiff_t>(y) * stride);
}

DcObject::~DcObject() {
    if (bitmap) bitmap->selected = false;
    if (clip) cairo_region_destroy(clip);
}

std::shared_ptr<DcObject> findDc(HDC hdc) { return findAs<DcObject>(hdc, HandleKind::Dc); }
std::shared_ptr<BitmapObject> findBitmap(HBITMAP bitmap) { return findAs<BitmapObject>(bitmap, HandleKind::Bitmap); }
std::shared_ptr<RegionObject> findRegion(HRGN region) { return findAs<RegionObject>(region, HandleKind::Region); }
std::shared_ptr<BrushObject> findBrush(HBRUSH brush) { return findAs<BrushObject>(brush, HandleKind::Brush); }

namespace {

struct StockObjects {
    HGDIOBJ whiteBrush;
    HGDIOBJ blackBrush;
    HGDIOBJ nullBrush;
    HGDIOBJ defaultBitmap;  // the 1x1 bitmap a new memory DC holds
};

HGDIOBJ makeStockBrush(COLORREF color) {
    auto brush = std::make_shared<BrushObject>();
    brush->color = color;
    brush->stock = true;
    return addHandle(HandleKind::Brush, brush);
}

const StockObjects& stock() {
    static const StockObjects objects = [] {
        StockObjects s;
        s.whiteBrush = makeStockBrush(RGB(255, 255, 255));
        s.blackBrush = makeStockBrush(RGB(0, 0, 0));
        s.nullBrush = makeStockBrush(0);
        s.defaultBitmap = addHandle(HandleKind::Bitmap, std::make_shared<BitmapObject>(1, 1));
        return s;
    }();
    return objects;
}

bool isStock(HGDIOBJ object) {
    const StockObjects& s = stock();
    return object == s.whiteBrush || object == s.blackBrush || object == s.nullBrush || object == s.defaultBitmap;
}

}  // namespace

HDC createWindowDc(HWND hwnd, std::shared_ptr<BitmapObject> surface, cairo_region_t* clip) {
    auto dc = std::make_shared<DcObject>();
    dc->bitmap = std::move(surface);
    dc->window = hwnd;
    dc->clip = clip;
    dc->brushHandle = stock().whiteBrush;
    return static_cast<HDC>(addHandle(HandleKind::Dc, dc));
}

cairo_region_t* regionToDevice(cairo_region_t* logical, double scale) {
    if (scale == 1.0) return logical;
    cairo_region_t* device = cairo_region_create();
    for (int i = 0, n = cairo_region_num_rectangles(logical); i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(logical, i, &r);
        RECT d = toDevice(RECT{r.x, r.y, r.x + r.width, r.y + r.height}, scale);
        cairo_rectangle_int_t dr{d.left, d.top, d.right - d.left, d.bottom - d.top};
        cairo_region_union_rectangle(device, &dr);
    }
    cairo_region_destroy(logical);
    return device;
}

cairo_region_t* clippedArea(const DcObject& dc, const RECT& rect) {
    dc.drawnOn = true;
    cairo_region_t* area = cairo_region_create();
    if (!dc.bitmap || rect.right <= rect.left || rect.bottom <= rect.top) return area;
    cairo_rectangle_int_t r{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    cairo_region_union_rectangle(area, &r);
    if (dc.clip) cairo_region_intersect(area, dc.clip);
    area = regionToDevice(area, dc.bitmap->scale);
    cairo_rectangle_int_t bounds{0, 0, dc.bitmap->width, dc.bitmap->height};
    cairo_region_intersect_rectangle(area, &bounds);
    return area;
}

cairo_t* createCairo(const DcObject& dc) {
    dc.drawnOn = true;
    if (!dc.bitmap) return nullptr;
    cairo_t* cr = cairo_create(dc.bitmap->surface());
    if (dc.clip) {
        cairo_region_t* clip = regionToDevice(cairo_region_copy(dc.clip), dc.bitmap->scale);
        int n = cairo_region_num_rectangles(clip);
        for (int i = 0; i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(clip, i, &r);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_region_destroy(clip);
        cairo_clip(cr);
    }
    return cr;
}

}  // namespace win32

using namespace win32;

HDC CreateCompatibleDC(HDC hdc) {
    if (hdc && !findDc(hdc)) return nullptr;
    auto dc = std::make_shared<DcObject>();
    dc->memory = true;
    dc->bitmapHandle = stock().defaultBitmap;
    dc->bitmap = nullptr;  // drawing on the 1x1 default bitmap is discarded
    dc->brushHandle = stock().whiteBrush;
    return static_cast<HDC>(addHandle(HandleKind::Dc, dc));
}

BOOL DeleteDC(HDC hdc) { return removeHandle(hdc, HandleKind::Dc) ? TRUE : FALSE; }

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    auto dc = findDc(hdc);
    if (!dc || !object) return nullptr;
    switch (handleKindOf(object)) {
    case HandleKind::Bitmap: {
        if (!dc->memory) return nullptr;
        HGDIOBJ previous = dc->bitmapHandle;
        if (object == previous) return previous;
        std::shared_ptr<BitmapObject> bitmap;
        if (object != stock().defaultBitmap) {
            bitmap = findBitmap(static_cast<HBITMAP>(object));
            if (!bitmap || bitmap->selected) return nullptr;
            bitmap->selected = true;
        } else if (!findHandle(object, HandleKind::Bitmap)) {
            return nullptr;
        }
        if (dc->bitmap) dc->bitmap->selected = false;
        dc->bitmap = std::move(bitmap);
        dc->bitmapHandle = object;
        return previous;
    }
    case HandleKind::Brush: {
        if (!findBrush(static_cast<HBRUSH>(object))) return nullptr;
        HGDIOBJ previous = dc->brushHandle;
        dc->brushHandle = object;
        return previous;
    }
    default: return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    if (isStock(object)) return TRUE;
    switch (handleKindOf(object)) {
    case HandleKind::Bitmap: {
        auto bitmap = findBitmap(static_cast<HBITMAP>(object));
        if (!bitmap || bitmap->selected) return FALSE;
        break;
    }
    case HandleKind::Brush:
    case HandleKind::Region: break;
    default: return FALSE;
    }
    return removeHandle(object, handleKindOf(object)) ? TRUE : FALSE;
}

HGDIOBJ GetStockObject(int index) {
    switch (index) {
    case WHITE_BRUSH: return stock().whiteBrush;
    case BLACK_BRUSH: return stock().blackBrush;
    case NULL_BRUSH: return stock().nullBrush;
    default: return nullptr;
    }
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    if (!findDc(hdc) || width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    auto bitmap = std::make_shared<BitmapObject>(width, height, displayScale());
    if (!bitmap->valid()) return nullptr;
    return static_cast<HBITMAP>(addHandle(HandleKind::Bitmap, bitmap));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto brush = std::make_shared<BrushObject>();
    brush->color = color & 0xFFFFFF;
    return static_cast<HBRUSH>(addHandle(HandleKind::Brush, brush));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    auto source = findBitmap(bitmap);
    if (!source) return nullptr;
    // Win32 copies the bitmap: the caller may delete it while the brush lives.
    auto copy = std::make_shared<BitmapObject>(source->logicalWidth, source->logicalHeight, source->scale);
    cairo_surface_flush(source->surface());
    for (int y = 0; y < source->height; ++y) std::copy_n(source->row(y), source->width, copy->row(y));
    cairo_surface_mark_dirty(copy->surface());
    auto brush = std::make_shared<BrushObject>();
    brush->pattern = std::move(copy);
    return static_cast<HBRUSH>(addHandle(HandleKind::Brush, brush));
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brushHandle) {
    auto dc = findDc(hdc);
    auto brush = findBrush(brushHandle);
    if (!dc || !brush || !rect) return 0;
    if (brushHandle == stock().nullBrush) return 1;
    if (!dc->bitmap) return 1;
    if (!brush->pattern) {
        // GDI writes the colour bytes and leaves alpha 0, as on a 32-bit DIB.
        std::uint32_t pixel =
            (GetRValue(brush->color) << 16) | (GetGValue(brush->color) << 8) | GetBValue(brush->color);
        cairo_region_t* area = clippedArea(*dc, *rect);
        cairo_surface_flush(dc->bitmap->surface());
        for (int i = 0, n = cairo_region_num_rectangles(area); i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(area, i, &r);
            for (int y = r.y; y < r.y + r.height; ++y) std::fill_n(dc->bitmap->row(y) + r.x, r.width, pixel);
        }
        cairo_surface_mark_dirty(dc->bitmap->surface());
        cairo_region_destroy(area);
        return 1;
    }
    cairo_t* cr = createCairo(*dc);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    // Tiles start at the DC's origin, not at the rectangle, and are a tile's
    // window pixels apart whatever scale either bitmap has.
    const BitmapObject& tile = *brush->pattern;
    // At a fractional scale a tile's last row and column are only partly
    // its own, half see-through: repeated, they would stripe the fill.
    auto whole = [&](int logical) { return static_cast<int>(std::floor(logical * tile.scale + 1e-9)); };
    cairo_surface_t* tileSurface = cairo_surface_create_for_rectangle(
        tile.surface(), 0, 0, std::max(1, whole(tile.logicalWidth)), std::max(1, whole(tile.logicalHeight)));
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tileSurface);
    cairo_surface_destroy(tileSurface);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    if (tile.scale != dc->bitmap->scale) {
        cairo_matrix_t toTile;
        cairo_matrix_init_scale(&toTile, tile.scale / dc->bitmap->scale, tile.scale / dc->bitmap->scale);
        cairo_pattern_set_matrix(pattern, &toTile);
    }
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
    RECT area = toDevice(*rect, dc->bitmap->scale);
    cairo_rectangle(cr, area.left, area.top, area.right - area.left, area.bottom - area.top);
    cairo_fill(cr);
    cairo_destroy(cr);
    return 1;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    cairo_rectangle_int_t r{left, top, right - left, bottom - top};
    auto region = std::make_shared<RegionObject>(cairo_region_create_rectangle(&r));
    return static_cast<HRGN>(addHandle(HandleKind::Region, region));
}

int GetRgnBox(HRGN regionHandle, LPRECT rect) {
    auto region = findRegion(regionHandle);
    if (!region || !rect) return ERROR;
    cairo_rectangle_int_t box;
    cairo_region_get_extents(region->region, &box);
    *rect = RECT{box.x, box.y, box.x + box.width, box.y + box.height};
    int n = cairo_region_num_rectangles(region->region);
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

BOOL PtInRegion(HRGN regionHandle, int x, int y) {
    auto region = findRegion(regionHandle);
    return region && cairo_region_contains_point(region->region, x, y) ? TRUE : FALSE;
}
