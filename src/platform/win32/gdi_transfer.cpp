// Block transfers between device bitmaps: BitBlt, StretchBlt (nearest
// neighbour, as GDI's COLORONCOLOR) and AlphaBlend.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "platform/win32/gdi.h"
#include "platform/win32/internal/gdi_objects.h"
#include "platform/win32/internal/pixels.h"
#include "platform/win32/internal/scale.h"

using namespace win32;

namespace {

// A snapshot of a source rectangle, so a transfer within one bitmap reads
// what was there before it started. A DC without a bitmap of its own reads
// as its 1x1 black default.
struct Source {
    int width = 1;  // of the whole source bitmap
    int height = 1;
    int left = 0;  // snapshot origin in the source bitmap
    int top = 0;
    int cols = 0;
    int rows = 0;
    std::vector<std::uint32_t> pixels;

    Source(const DcObject& dc, int x, int y, int w, int h) {
        if (dc.bitmap) {
            width = dc.bitmap->width;
            height = dc.bitmap->height;
        }
        left = std::clamp(x, 0, width);
        top = std::clamp(y, 0, height);
        cols = std::clamp(x + w, 0, width) - left;
        rows = std::clamp(y + h, 0, height) - top;
        pixels.assign(static_cast<std::size_t>(cols) * rows, 0);
        if (!dc.bitmap) return;
        cairo_surface_flush(dc.bitmap->surface());
        for (int r = 0; r < rows; ++r)
            std::copy_n(dc.bitmap->row(top + r) + left, cols, pixels.begin() + static_cast<std::ptrdiff_t>(r) * cols);
    }

    // The pixel at bitmap coordinates (x, y), or false outside the bitmap.
    bool at(int x, int y, std::uint32_t& out) const {
        if (x < left || y < top || x >= left + cols || y >= top + rows) return false;
        out = pixels[static_cast<std::size_t>(y - top) * cols + (x - left)];
        return true;
    }
};

// The put of BitBlt and StretchBlt: a plain copy, done a row at a time.
struct CopyPixel {
    void operator()(std::uint32_t& d, std::uint32_t s) const { d = s; }
};

// Nearest source offset for destination offset i when n source pixels
// spread over m destination pixels.
inline int nearest(int i, int n, int m) { return static_cast<int>((2LL * i + 1) * n / (2LL * m)); }

bool coversWhole(cairo_region_t* area, const BitmapObject& bitmap) {
    cairo_rectangle_int_t whole{0, 0, bitmap.width, bitmap.height};
    return cairo_region_contains_rectangle(area, &whole) == CAIRO_REGION_OVERLAP_IN;
}

// A span [from, from + extent) of window pixels on the device grid.
void spanToDevice(int& from, int& extent, double scale) {
    int end = toDevice(from + extent, scale);
    from = toDevice(from, scale);
    extent = end - from;
}

// A picture held at another scale (read at 1, or kept from before the
// display's scale changed) is resampled to where it goes, as a stretched
// picture is, rather than having its pixels repeated or dropped: `put` then
// takes the resampled pixels. Device coordinates.
template <class Put>
void stretchSmoothly(DcObject& dest, cairo_region_t* area, int x, int y, int w, int h, const BitmapObject& from, int sx,
                     int sy, int sw, int sh, Put put) {
    // Only where the source rectangle lies inside the source bitmap.
    const int left = std::max(0, -sx), top = std::max(0, -sy);
    const int right = std::min(sw, from.width - sx), bottom = std::min(sh, from.height - sy);
    if (right <= left || bottom <= top) return;
    const double fx = static_cast<double>(w) / sw, fy = static_cast<double>(h) / sh;
    cairo_rectangle_int_t inside{
        x + static_cast<int>(std::lround(left * fx)), y + static_cast<int>(std::lround(top * fy)),
        static_cast<int>(std::lround((right - left) * fx)), static_cast<int>(std::lround((bottom - top) * fy))};
    cairo_region_intersect_rectangle(area, &inside);
    cairo_surface_t* layer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(layer);
    cairo_scale(cr, fx, fy);
    cairo_surface_flush(from.surface());
    cairo_set_source_surface(cr, from.surface(), -sx, -sy);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(layer);
    if (cairo_surface_status(layer) == CAIRO_STATUS_SUCCESS) {
        const unsigned char* pixels = cairo_image_surface_get_data(layer);
        const int stride = cairo_image_surface_get_stride(layer);
        cairo_surface_flush(dest.bitmap->surface());
        for (int i = 0, n = cairo_region_num_rectangles(area); i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(area, i, &r);
            for (int py = r.y; py < r.y + r.height; ++py) {
                const auto* in =
                    reinterpret_cast<const std::uint32_t*>(pixels + static_cast<std::ptrdiff_t>(py - y) * stride);
                std::uint32_t* out = dest.bitmap->row(py);
                for (int px = r.x; px < r.x + r.width; ++px) put(out[px], in[px - x]);
            }
        }
        cairo_surface_mark_dirty(dest.bitmap->surface());
    }
    cairo_surface_destroy(layer);
}

// Calls `put(destPixel, sourcePixel)` for every writable destination pixel
// of the rectangle whose source pixel lies inside the source bitmap. Negative
// extents are allowed; a sign differing between destination and source
// mirrors along that axis. Coordinates are window pixels; the copy is made
// between device pixels, one to one where both bitmaps have one scale.
template <class Put>
void transfer(DcObject& dest, int x, int y, int w, int h, const DcObject& src, int sx, int sy, int sw, int sh,
              Put put) {
    bool flipX = false, flipY = false;
    if (w < 0) {
        x += w;
        w = -w;
        flipX = !flipX;
    }
    if (h < 0) {
        y += h;
        h = -h;
        flipY = !flipY;
    }
    if (sw < 0) {
        sx += sw;
        sw = -sw;
        flipX = !flipX;
    }
    if (sh < 0) {
        sy += sh;
        sh = -sh;
        flipY = !flipY;
    }
    if (w == 0 || h == 0 || sw == 0 || sh == 0 || !dest.bitmap) return;
    cairo_region_t* area = clippedArea(dest, RECT{x, y, x + w, y + h});
    const BitmapObject* from = src.bitmap.get();
    const double scale = dest.bitmap->scale, srcScale = from ? from->scale : 1.0;
    if (scale != 1.0 || srcScale != 1.0) {
        const bool sameGrid = scale == srcScale;
        const bool sameWidth = sameGrid && sw == w, sameHeight = sameGrid && sh == h;
        spanToDevice(x, w, scale);
        spanToDevice(y, h, scale);
        spanToDevice(sx, sw, srcScale);
        spanToDevice(sy, sh, srcScale);
        if (sameWidth) sw = w;
        if (sameHeight) sh = h;
        if (w == 0 || h == 0 || sw == 0 || sh == 0) {
            cairo_region_destroy(area);
            return;
        }
        if (!sameGrid && from && !flipX && !flipY) {
            stretchSmoothly(dest, area, x, y, w, h, *from, sx, sy, sw, sh, put);
            cairo_region_destroy(area);
            return;
        }
    }
    const bool oneToOne = sw == w && sh == h && !flipX && !flipY && from && from != dest.bitmap.get();
    if (oneToOne && std::is_same_v<Put, CopyPixel> && coversWhole(area, *dest.bitmap) && x - sx <= 0 && y - sy <= 0 &&
        x - sx + from->width >= dest.bitmap->width && y - sy + from->height >= dest.bitmap->height)
        dest.bitmap->willOverwriteAll();  // no need to clear what is copied over
    cairo_surface_flush(dest.bitmap->surface());
    if (oneToOne) {
        // One to one between two bitmaps: walk rows directly, no snapshot.
        cairo_surface_flush(from->surface());
        for (int i = 0, n = cairo_region_num_rectangles(area); i < n; ++i) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(area, i, &r);
            int left = std::max({r.x, x - sx, x});
            int right = std::min({r.x + r.width, x - sx + from->width, x + w});
            int top = std::max({r.y, y - sy, y});
            int bottom = std::min({r.y + r.height, y - sy + from->height, y + h});
            for (int py = top; py < bottom; ++py) {
                std::uint32_t* out = dest.bitmap->row(py);
                const std::uint32_t* in = from->row(py - y + sy) + (sx - x);
                if constexpr (std::is_same_v<Put, CopyPixel>) {
                    if (right > left) std::memcpy(out + left, in + left, static_cast<std::size_t>(right - left) * 4);
                } else {
                    for (int px = left; px < right; ++px) put(out[px], in[px]);
                }
            }
        }
        cairo_surface_mark_dirty(dest.bitmap->surface());
        cairo_region_destroy(area);
        return;
    }
    Source source(src, sx, sy, sw, sh);
    for (int i = 0, n = cairo_region_num_rectangles(area); i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(area, i, &r);
        for (int py = r.y; py < r.y + r.height; ++py) {
            int j = nearest(py - y, sh, h);
            int srcY = sy + (flipY ? sh - 1 - j : j);
            std::uint32_t* row = dest.bitmap->row(py);
            for (int px = r.x; px < r.x + r.width; ++px) {
                int k = nearest(px - x, sw, w);
                std::uint32_t s;
                if (source.at(sx + (flipX ? sw - 1 - k : k), srcY, s)) put(row[px], s);
            }
        }
    }
    cairo_surface_mark_dirty(dest.bitmap->surface());
    cairo_region_destroy(area);
}

}  // namespace

BOOL BitBlt(HDC destHandle, int x, int y, int width, int height, HDC srcHandle, int srcX, int srcY, DWORD rop) {
    auto dest = findDc(destHandle);
    auto src = findDc(srcHandle);
    if (!dest || !src || rop != SRCCOPY) return FALSE;
    // Equal extents never mirror, whatever their sign.
    transfer(*dest, x, y, width, height, *src, srcX, srcY, width, height, CopyPixel{});
    return TRUE;
}

BOOL StretchBlt(HDC destHandle, int x, int y, int width, int height, HDC srcHandle, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
    auto dest = findDc(destHandle);
    auto src = findDc(srcHandle);
    if (!dest || !src || rop != SRCCOPY) return FALSE;
    transfer(*dest, x, y, width, height, *src, srcX, srcY, srcWidth, srcHeight, CopyPixel{});
    return TRUE;
}

BOOL AlphaBlend(HDC destHandle, int x, int y, int width, int height, HDC srcHandle, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend) {
    auto dest = findDc(destHandle);
    auto src = findDc(srcHandle);
    if (!dest || !src || blend.BlendOp != AC_SRC_OVER) return FALSE;
    if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0) return FALSE;
    int srcBitmapWidth = src->bitmap ? src->bitmap->logicalWidth : 1;
    int srcBitmapHeight = src->bitmap ? src->bitmap->logicalHeight : 1;
    if (srcX < 0 || srcY < 0 || srcWidth > srcBitmapWidth - srcX || srcHeight > srcBitmapHeight - srcY) return FALSE;
    if (dest == src || (dest->bitmap && dest->bitmap == src->bitmap)) {
        bool apart = x + width <= srcX || srcX + srcWidth <= x || y + height <= srcY || srcY + srcHeight <= y;
        if (!apart) return FALSE;
    }
    std::uint32_t ca = blend.SourceConstantAlpha;
    if (blend.AlphaFormat & AC_SRC_ALPHA) {
        // Premultiplied source over destination, the source first scaled by
        // the constant alpha.
        transfer(
            *dest, x, y, width, height, *src, srcX, srcY, srcWidth, srcHeight, [ca](std::uint32_t& d, std::uint32_t s) {
                // Exact shortcuts for the common pixels of a glyph at full
                // strength: nothing, or fully opaque.
                if (ca == 255) {
                    if (s == 0) return;
                    if ((s >> 24) == 255) {
                        d = s;
                        return;
                    }
                }
                std::uint32_t sa = div255((s >> 24) * ca);
                std::uint32_t out = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    std::uint32_t c = div255(((s >> shift) & 0xFF) * ca) + div255(((d >> shift) & 0xFF) * (255 - sa));
                    out |= std::min<std::uint32_t>(c, 255) << shift;
                }
                d = out;
            });
    } else {
        transfer(*dest, x, y, width, height, *src, srcX, srcY, srcWidth, srcHeight,
                 [ca](std::uint32_t& d, std::uint32_t s) {
                     std::uint32_t out = 0;
                     for (int shift = 0; shift < 32; shift += 8)
                         out |= div255(((s >> shift) & 0xFF) * ca + ((d >> shift) & 0xFF) * (255 - ca)) << shift;
                     d = out;
                 });
    }
    return TRUE;
}
