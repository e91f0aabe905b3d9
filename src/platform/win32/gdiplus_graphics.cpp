// Graphics: GDI+ drawing on an HDC's premultiplied bitmap or on a straight
// ARGB Bitmap. Anti-aliased coverage comes from cairo; without
// anti-aliasing a shape covers exactly the pixels whose centres it holds.
// The compositing is done here, per pixel, so that a straight target keeps
// its colour bytes exactly.
#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <utility>

#include "platform/win32/internal/gdi_objects.h"
#include "platform/win32/internal/gdiplus_internal.h"
#include "platform/win32/internal/pixels.h"
#include "platform/win32/internal/scale.h"

namespace win32 {
namespace {

using Gdiplus::Status;

// Source colour `s` (straight) at effective alpha `ea` over a pixel.
inline std::uint32_t overPremultiplied(std::uint32_t d, std::uint32_t s, std::uint32_t ea) {
    // What the sums below give at full strength, without them: the inside
    // of every opaque fill.
    if (ea == 255) return (s & 0xFFFFFF) | 0xFF000000u;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        std::uint32_t c = div255(channel(s, shift) * ea) + div255(channel(d, shift) * (255 - ea));
        out |= std::min<std::uint32_t>(c, 255) << shift;
    }
    std::uint32_t a = ea + div255(channel(d, 24) * (255 - ea));
    return out | (std::min<std::uint32_t>(a, 255) << 24);
}

inline std::uint32_t overStraight(std::uint32_t d, std::uint32_t s, std::uint32_t ea) {
    if (ea == 255) return (s & 0xFFFFFF) | 0xFF000000u;
    std::uint32_t da = channel(d, 24);
    std::uint32_t dw = da * (255 - ea);   // destination weight, scaled by 255
    std::uint32_t total = ea * 255 + dw;  // result alpha, scaled by 255
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        std::uint32_t c = (channel(s, shift) * ea * 255 + channel(d, shift) * dw + total / 2) / total;
        out |= std::min<std::uint32_t>(c, 255) << shift;
    }
    return out | (div255(total) << 24);
}

// A blend that remembers its last result: runs of one pixel under one
// source are the common case (inside a glow, across the glass), and a blend
// depends on nothing but the three values.
class Blend {
public:
    explicit Blend(bool premultiplied) : m_premultiplied(premultiplied) {}
    std::uint32_t operator()(std::uint32_t d, std::uint32_t s, std::uint32_t ea) {
        if (!m_valid || d != m_d || s != m_s || ea != m_ea) {
            m_out = m_premultiplied ? overPremultiplied(d, s, ea) : overStraight(d, s, ea);
            m_d = d;
            m_s = s;
            m_ea = ea;
            m_valid = true;
        }
        return m_out;
    }

private:
    bool m_premultiplied;
    bool m_valid = false;
    std::uint32_t m_d = 0, m_s = 0, m_ea = 0, m_out = 0;
};

// Where a Graphics draws: the pixels, their form and the writable area.
struct Canvas {
    std::shared_ptr<DcObject> dc;
    std::shared_ptr<ImageData> image;
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    double scale = 1.0;  // device pixels per window pixel
    bool premultiplied = false;
    cairo_region_t* area = nullptr;  // device pixels

    Canvas() = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        if (area) cairo_region_destroy(area);
        if (dc && dc->bitmap) cairo_surface_mark_dirty(dc->bitmap->surface());
    }
    std::uint32_t* row(int y) const {
        return reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    }

    template <class F>
    void forEach(F&& f) const {
        for (int i = 0, n = cairo_region_num_rectangles(area); i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(area, i, &r);
            for (int y = r.y; y < r.y + r.height; ++y) {
                std::uint32_t* p = row(y);
                for (int x = r.x; x < r.x + r.width; ++x) f(x, y, p[x]);
            }
        }
    }
};

// Renders anti-aliased coverage (A8) of what `draw` fills, inside the
// canvas's writable area; the mask spans only that area's extents, whose
// top-left corner is (`left`, `top`) in canvas pixels.
struct Coverage {
    cairo_surface_t* mask = nullptr;
    int left = 0;
    int top = 0;
};

Coverage coverage(const Canvas& canvas, const std::function<void(cairo_t*)>& draw) {
    cairo_rectangle_int_t extent;
    cairo_region_get_extents(canvas.area, &extent);
    Coverage result{cairo_image_surface_create(CAIRO_FORMAT_A8, extent.width, extent.height), extent.x, extent.y};
    cairo_t* cr = cairo_create(result.mask);
    // A whole-pixel shift leaves the rasterised coverage exactly as it was.
    cairo_translate(cr, -extent.x, -extent.y);
    // One rectangle is the mask's own extent, which clips already; a clip
    // would only cost cairo a slower path.
    if (cairo_region_num_rectangles(canvas.area) > 1) {
        for (int i = 0, n = cairo_region_num_rectangles(canvas.area); i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(canvas.area, i, &r);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_clip(cr);
    }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(result.mask);
    return result;
}

void compositeSolid(const Canvas& canvas, const Coverage& coverage, Gdiplus::ARGB color) {
    const unsigned char* m = cairo_image_surface_get_data(coverage.mask);
    int mstride = cairo_image_surface_get_stride(coverage.mask);
    std::uint32_t alpha = color >> 24;
    Blend blend(canvas.premultiplied);
    canvas.forEach([&](int x, int y, std::uint32_t& p) {
        std::uint32_t ea =
            div255(alpha * m[static_cast<std::ptrdiff_t>(y - coverage.top) * mstride + (x - coverage.left)]);
        if (ea == 0) return;
        p = blend(p, color, ea);
    });
}

// The whole pixels a fill of `shape` can touch, with a pixel to spare:
// curves stay inside their control points. False when a point is not finite.
bool shapeBounds(const PathData& shape, cairo_rectangle_int_t* box) {
    double left = 1e300, top = 1e300, right = -1e300, bottom = -1e300;
    for (const auto& figure : shape.figures) {
        for (const Gdiplus::PointF& p : figure.points) {
            if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return false;
            left = std::min(left, static_cast<double>(p.X));
            right = std::max(right, static_cast<double>(p.X));
            top = std::min(top, static_cast<double>(p.Y));
            bottom = std::max(bottom, static_cast<double>(p.Y));
        }
    }
    if (left > right) {
        *box = {0, 0, 0, 0};
        return true;
    }
    // Far outside any bitmap: no need to be exact, only not to overflow.
    auto clampPixel = [](double v) { return static_cast<int>(std::clamp(v, -1e8, 1e8)); };
    int x0 = clampPixel(std::floor(left)) - 1, y0 = clampPixel(std::floor(top)) - 1;
    int x1 = clampPixel(std::ceil(right)) + 1, y1 = clampPixel(std::ceil(bottom)) + 1;
    *box = {x0, y0, x1 - x0, y1 - y0};
    return true;
}

bool isAntialiased(Gdiplus::SmoothingMode mode) {
    return mode == Gdiplus::SmoothingModeAntiAlias || mode == Gdiplus::SmoothingModeAntiAlias8x8 ||
           mode == Gdiplus::SmoothingModeHighQuality;
}

}  // namespace
}  // namespace win32

namespace Gdiplus {

using win32::Canvas;
using win32::GdipAccess;

namespace {

// Opens the canvas of a Graphics; Ok with an empty area when the DC has no
// bitmap to draw on.
Status openCanvas(HDC hdc, const std::shared_ptr<win32::ImageData>& image, const win32::RegionData* clip,
                  Canvas& canvas) {
    if (hdc) {
        canvas.dc = win32::findDc(hdc);
        if (!canvas.dc) return InvalidParameter;
        if (!canvas.dc->bitmap) {
            canvas.area = cairo_region_create();
            return Ok;
        }
        win32::BitmapObject& bitmap = *canvas.dc->bitmap;
        cairo_surface_flush(bitmap.surface());
        canvas.data = cairo_image_surface_get_data(bitmap.surface());
        canvas.width = bitmap.width;
        canvas.height = bitmap.height;
        canvas.stride = bitmap.stride;
        canvas.scale = bitmap.scale;
        canvas.premultiplied = true;
        canvas.area = win32::clippedArea(*canvas.dc, RECT{0, 0, bitmap.logicalWidth, bitmap.logicalHeight});
    } else {
        if (!image) return InvalidParameter;
        if (image->locked) return WrongState;
        canvas.image = image;
        canvas.data = reinterpret_cast<std::uint8_t*>(image->pixels.data());
        canvas.width = image->width;
        canvas.height = image->height;
        canvas.stride = image->width * 4;
        canvas.scale = image->scale;
        cairo_rectangle_int_t bounds{0, 0, image->width, image->height};
        canvas.area = cairo_region_create_rectangle(&bounds);
    }
    if (clip && clip->region) cairo_region_intersect(canvas.area, clip->region);
    return Ok;
}

// Straight BGRA of `image` as a premultiplied cairo surface.
cairo_surface_t* premultipliedCopy(const win32::ImageData& image) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return s;
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < image.height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        const std::uint32_t* in = image.pixels.data() + static_cast<std::size_t>(y) * image.width;
        for (int x = 0; x < image.width; ++x) {
            out[x] = win32::premultiply(in[x]);
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

}  // namespace

Graphics::Graphics(HDC hdc) : m_hdc(hdc) {
    if (!win32::findDc(hdc)) m_lastStatus = InvalidParameter;
}

Graphics::Graphics(Image* image) {
    if (!image || !GdipAccess::image(*image)) {
        m_lastStatus = InvalidParameter;
        return;
    }
    m_image = GdipAccess::imageRef(*image);
}

Graphics* Graphics::FromHDC(HDC hdc) { return new Graphics(hdc); }
Graphics* Graphics::FromImage(Image* image) { return new Graphics(image); }
Graphics::~Graphics() = default;

Status Graphics::result(Status status) const {
    if (status != Ok) m_lastStatus = status;
    return status;
}

Status Graphics::GetLastStatus() const { return std::exchange(m_lastStatus, Ok); }

Status Graphics::SetSmoothingMode(SmoothingMode smoothingMode) {
    if (smoothingMode < SmoothingModeDefault || smoothingMode > SmoothingModeAntiAlias8x8)
        return result(InvalidParameter);
    m_smoothing = smoothingMode;
    return Ok;
}

SmoothingMode Graphics::GetSmoothingMode() const { return m_smoothing; }

Status Graphics::Clear(const Color& color) {
    if (m_busy) return result(ObjectBusy);
    Canvas canvas;
    if (Status s = openCanvas(m_hdc, m_image, m_clip.get(), canvas); s != Ok) return result(s);
    std::uint32_t value = color.GetValue();
    if (canvas.premultiplied) value = win32::premultiply(value);
    canvas.forEach([value](int, int, std::uint32_t& p) { p = value; });
    return Ok;
}

namespace {

// Fills `shape` with a solid colour: anti-aliased coverage from cairo, or,
// without anti-aliasing, exactly the pixels whose centres are inside.
Status fillShape(HDC hdc, const std::shared_ptr<win32::ImageData>& image, const win32::RegionData* clip, bool antialias,
                 ARGB color, const win32::PathData& logicalShape) {
    Canvas canvas;
    if (Status s = openCanvas(hdc, image, clip, canvas); s != Ok) return s;
    if (cairo_region_is_empty(canvas.area)) return Ok;
    win32::PathData scaled;
    if (canvas.scale != 1.0) scaled = win32::scaledPath(logicalShape, canvas.scale);
    const win32::PathData& shape = canvas.scale != 1.0 ? scaled : logicalShape;
    if (!antialias) {
        cairo_region_t* inside = win32::pathCentreMask(shape);
        cairo_region_intersect(canvas.area, inside);
        cairo_region_destroy(inside);
        std::uint32_t ea = color >> 24;
        if (ea == 0) return Ok;
        canvas.forEach([&](int, int, std::uint32_t& p) {
            p = canvas.premultiplied ? win32::overPremultiplied(p, color, ea) : win32::overStraight(p, color, ea);
        });
        return Ok;
    }
    // Coverage is rendered and composited only where the shape can reach.
    cairo_rectangle_int_t reach;
    if (win32::shapeBounds(shape, &reach)) {
        cairo_region_intersect_rectangle(canvas.area, &reach);
        if (cairo_region_is_empty(canvas.area)) return Ok;
    }
    win32::Coverage mask = win32::coverage(canvas, [&shape](cairo_t* cr) {
        shape.appendTo(cr);
        cairo_set_fill_rule(cr,
                            shape.fillMode == FillModeAlternate ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    });
    if (cairo_surface_status(mask.mask) == CAIRO_STATUS_SUCCESS) win32::compositeSolid(canvas, mask, color);
    cairo_surface_destroy(mask.mask);
    return Ok;
}

win32::PathData polygon(std::initializer_list<PointF> points) {
    win32::PathData shape;
    shape.figures.emplace_back();
    shape.figures.back().points.assign(points);
    shape.figures.back().types.assign(points.size(), win32::PathData::Line);
    shape.figures.back().types[0] = win32::PathData::Start;
    shape.figures.back().closed = true;
    return shape;
}

}  // namespace

Status Graphics::FillPath(const Brush* brush, const GraphicsPath* path) {
    if (!brush || !path) return result(InvalidParameter);
    if (m_busy) return result(ObjectBusy);
    return result(fillShape(m_hdc, m_image, m_clip.get(), win32::isAntialiased(m_smoothing),
                            GdipAccess::color(*brush).GetValue(), GdipAccess::path(*path)));
}

Status Graphics::FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height) {
    if (!brush) return result(InvalidParameter);
    if (m_busy) return result(ObjectBusy);
    if (!(width > 0) || !(height > 0)) return Ok;
    return result(
        fillShape(m_hdc, m_image, m_clip.get(), win32::isAntialiased(m_smoothing), GdipAccess::color(*brush).GetValue(),
                  polygon({PointF(x, y), PointF(x + width, y), PointF(x + width, y + height), PointF(x, y + height)})));
}

Status Graphics::FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height) {
    return FillRectangle(brush, static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width),
                         static_cast<REAL>(height));
}
Status Graphics::FillRectangle(const Brush* brush, const Rect& r) {
    return FillRectangle(brush, r.X, r.Y, r.Width, r.Height);
}
Status Graphics::FillRectangle(const Brush* brush, const RectF& r) {
    return FillRectangle(brush, r.X, r.Y, r.Width, r.Height);
}

// A line with flat caps is the rectangle around it.
Status Graphics::DrawLine(const Pen* pen, REAL x1, REAL y1, REAL x2, REAL y2) {
    if (!pen) return result(InvalidParameter);
    if (m_busy) return result(ObjectBusy);
    double dx = x2 - x1, dy = y2 - y1, length = std::hypot(dx, dy);
    if (!(length > 0)) return Ok;
    // A pen narrower than a pixel still draws a one-pixel line.
    double half = std::max(1.0, static_cast<double>(pen->GetWidth())) / 2;
    auto nx = static_cast<REAL>(-dy / length * half), ny = static_cast<REAL>(dx / length * half);
    return result(fillShape(m_hdc, m_image, m_clip.get(), win32::isAntialiased(m_smoothing),
                            GdipAccess::color(*pen).GetValue(),
                            polygon({PointF(x1 + nx, y1 + ny), PointF(x2 + nx, y2 + ny), PointF(x2 - nx, y2 - ny),
                                     PointF(x1 - nx, y1 - ny)})));
}

Status Graphics::DrawLine(const Pen* pen, INT x1, INT y1, INT x2, INT y2) {
    return DrawLine(pen, static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2), static_cast<REAL>(y2));
}

// All DrawImage forms end here: the source rectangle (pixels) into the
// destination rectangle.
static Status drawImage(HDC hdc, const std::shared_ptr<win32::ImageData>& target, const win32::RegionData* clip,
                        Image* image, RectF dest, RectF src) {
    win32::ImageData* source = image ? GdipAccess::image(*image) : nullptr;
    if (!source) return InvalidParameter;
    if (source->locked) return WrongState;
    if (!(src.Width > 0) || !(src.Height > 0) || !(dest.Width > 0) || !(dest.Height > 0)) return InvalidParameter;
    Canvas canvas;
    if (Status s = openCanvas(hdc, target, clip, canvas); s != Ok) return s;
    if (source == canvas.image.get()) return InvalidParameter;  // drawing an image onto itself
    auto onGrid = [](RectF r, double scale) {
        auto at = [scale](REAL v) { return static_cast<REAL>(v * scale); };
        return RectF(at(r.X), at(r.Y), at(r.Width), at(r.Height));
    };
    if (canvas.scale != 1.0) dest = onGrid(dest, canvas.scale);
    if (source->scale != 1.0) src = onGrid(src, source->scale);
    auto isWhole = [](REAL v) { return std::floor(v) == v && std::fabs(v) < 1e8f; };
    if (dest.Width == src.Width && dest.Height == src.Height && isWhole(dest.X) && isWhole(dest.Y) && isWhole(src.X) &&
        isWhole(src.Y) && isWhole(src.Width) && isWhole(src.Height)) {
        // Pixel for pixel: straight source bytes blended directly.
        int dx = static_cast<int>(dest.X), dy = static_cast<int>(dest.Y);
        int sx = static_cast<int>(src.X), sy = static_cast<int>(src.Y);
        int w = static_cast<int>(src.Width), h = static_cast<int>(src.Height);
        cairo_rectangle_int_t r{dx, dy, w, h};
        cairo_region_intersect_rectangle(canvas.area, &r);
        win32::Blend blend(canvas.premultiplied);
        canvas.forEach([&](int x, int y, std::uint32_t& p) {
            int px = x - dx + sx, py = y - dy + sy;
            if (px < 0 || py < 0 || px >= source->width || py >= source->height) return;
            std::uint32_t s = source->pixels[static_cast<std::size_t>(py) * source->width + px];
            std::uint32_t a = s >> 24;
            if (a == 0) return;
            p = blend(p, s, a);
        });
        return Ok;
    }
    // Scaled or off the pixel grid: cairo resamples into a premultiplied layer.
    if (cairo_region_is_empty(canvas.area)) return Ok;
    cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, canvas.width, canvas.height);
    cairo_surface_t* pixels = premultipliedCopy(*source);
    cairo_t* cr = cairo_create(layer);
    cairo_rectangle(cr, dest.X, dest.Y, dest.Width, dest.Height);
    cairo_clip(cr);
    cairo_translate(cr, dest.X, dest.Y);
    cairo_scale(cr, dest.Width / src.Width, dest.Height / src.Height);
    cairo_translate(cr, -src.X, -src.Y);
    cairo_set_source_surface(cr, pixels, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(pixels);
    cairo_surface_flush(layer);
    if (cairo_surface_status(layer) == CAIRO_STATUS_SUCCESS) {
        const unsigned char* ldata = cairo_image_surface_get_data(layer);
        int lstride = cairo_image_surface_get_stride(layer);
        canvas.forEach([&](int x, int y, std::uint32_t& p) {
            std::uint32_t l =
                reinterpret_cast<const std::uint32_t*>(ldata + static_cast<std::ptrdiff_t>(y) * lstride)[x];
            std::uint32_t a = l >> 24;
            if (a == 0) return;
            std::uint32_t straight = win32::unpremultiply(l);
            p = canvas.premultiplied ? win32::overPremultiplied(p, straight, a) : win32::overStraight(p, straight, a);
        });
    }
    cairo_surface_destroy(layer);
    return Ok;
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height) {
    if (m_busy) return result(ObjectBusy);
    win32::ImageData* source = image ? GdipAccess::image(*image) : nullptr;
    if (!source) return result(InvalidParameter);
    return result(
        drawImage(m_hdc, m_image, m_clip.get(), image, RectF(x, y, width, height),
                  RectF(0, 0, static_cast<REAL>(source->logicalWidth), static_cast<REAL>(source->logicalHeight))));
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y) {
    win32::ImageData* source = image ? GdipAccess::image(*image) : nullptr;
    if (!source) return result(InvalidParameter);
    return DrawImage(image, x, y, static_cast<REAL>(source->logicalWidth), static_cast<REAL>(source->logicalHeight));
}

Status Graphics::DrawImage(Image* image, INT x, INT y) {
    return DrawImage(image, static_cast<REAL>(x), static_cast<REAL>(y));
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height) {
    return DrawImage(image, static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width),
                     static_cast<REAL>(height));
}

Status Graphics::DrawImage(Image* image, const Rect& r) { return DrawImage(image, r.X, r.Y, r.Width, r.Height); }
Status Graphics::DrawImage(Image* image, const RectF& r) { return DrawImage(image, r.X, r.Y, r.Width, r.Height); }

Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight,
                           Unit srcUnit) {
    if (m_busy) return result(ObjectBusy);
    if (srcUnit != UnitPixel) return result(NotImplemented);
    return result(drawImage(m_hdc, m_image, m_clip.get(), image, RectF(x, y, srcwidth, srcheight),
                            RectF(srcx, srcy, srcwidth, srcheight)));
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT srcx, INT srcy, INT srcwidth, INT srcheight, Unit srcUnit) {
    return DrawImage(image, static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(srcx),
                     static_cast<REAL>(srcy), static_cast<REAL>(srcwidth), static_cast<REAL>(srcheight), srcUnit);
}

Status Graphics::SetClip(const GraphicsPath* path, CombineMode combineMode) {
    if (!path) return result(InvalidParameter);
    if (m_busy) return result(ObjectBusy);
    // The clip is kept on the device grid of what this Graphics draws on.
    double scale = 1.0;
    if (m_image) {
        scale = m_image->scale;
    } else if (auto dc = win32::findDc(m_hdc); dc && dc->bitmap) {
        scale = dc->bitmap->scale;
    }
    cairo_region_t* mask = win32::pathCentreMask(scale == 1.0 ? GdipAccess::path(*path)
                                                              : win32::scaledPath(GdipAccess::path(*path), scale));
    if (combineMode == CombineModeReplace || (!m_clip && combineMode == CombineModeIntersect)) {
        m_clip = std::make_unique<win32::RegionData>(mask);
        return Ok;
    }
    // The other modes combine with the current clip, an infinite one being
    // everything the path could reach.
    cairo_region_t* current = nullptr;
    if (m_clip && m_clip->region) {
        current = cairo_region_copy(m_clip->region);
    } else {
        cairo_rectangle_int_t everything{-(1 << 29), -(1 << 29), 1 << 30, 1 << 30};
        current = cairo_region_create_rectangle(&everything);
    }
    switch (combineMode) {
    case CombineModeIntersect: cairo_region_intersect(current, mask); break;
    case CombineModeUnion: cairo_region_union(current, mask); break;
    case CombineModeXor: cairo_region_xor(current, mask); break;
    case CombineModeExclude: cairo_region_subtract(current, mask); break;
    case CombineModeComplement:
        cairo_region_subtract(mask, current);
        std::swap(mask, current);
        break;
    default:
        cairo_region_destroy(current);
        cairo_region_destroy(mask);
        return result(InvalidParameter);
    }
    cairo_region_destroy(mask);
    m_clip = std::make_unique<win32::RegionData>(current);
    return Ok;
}

Status Graphics::ResetClip() {
    if (m_busy) return result(ObjectBusy);
    m_clip.reset();
    return Ok;
}

HDC Graphics::GetHDC() {
    if (m_busy) {
        result(ObjectBusy);
        return nullptr;
    }
    if (!m_hdc) {
        result(NotImplemented);
        return nullptr;
    }
    if (!win32::findDc(m_hdc)) {
        result(InvalidParameter);
        return nullptr;
    }
    m_busy = true;
    return m_hdc;
}

void Graphics::ReleaseHDC(HDC hdc) {
    if (!m_busy || hdc != m_hdc) {
        result(InvalidParameter);
        return;
    }
    m_busy = false;
}

}  // namespace Gdiplus
