// The GDI object model shared by the GDI, GDI+ and window code. Device
// bitmaps are cairo ARGB32 image surfaces: premultiplied BGRA in memory,
// every byte 0 at creation.
#pragma once

#include <cairo.h>

#include <memory>

#include "platform/win32/internal/handles.h"
#include "platform/win32/types.h"

namespace win32 {

// The clearing to black is put off until the pixels are first reached, so
// a bitmap that a copy then covers whole is never cleared (a paint's back
// buffer, every paint). Like its cairo surface, a bitmap is used by one
// thread at a time.
struct BitmapObject : Object {
    // `width` x `height` window pixels, held at `scale`.
    BitmapObject(int width, int height, double scale = 1.0);
    ~BitmapObject() override;
    BitmapObject(const BitmapObject&) = delete;
    BitmapObject& operator=(const BitmapObject&) = delete;

    cairo_surface_t* surface() const;
    bool valid() const { return cairo_surface_status(m_surface) == CAIRO_STATUS_SUCCESS; }
    std::uint32_t* row(int y) const;
    // For a writer about to set every pixel: the pending clear is dropped.
    void willOverwriteAll() const { m_clearPending = false; }

    int width = 0;  // device pixels
    int height = 0;
    int stride = 0;        // bytes
    int logicalWidth = 0;  // window pixels
    int logicalHeight = 0;
    double scale = 1.0;
    bool selected = false;  // a bitmap is selected into at most one DC

private:
    cairo_surface_t* m_surface = nullptr;
    mutable bool m_clearPending = false;
};

struct RegionObject : Object {
    explicit RegionObject(cairo_region_t* r) : region(r) {}
    ~RegionObject() override { cairo_region_destroy(region); }
    RegionObject(const RegionObject&) = delete;
    RegionObject& operator=(const RegionObject&) = delete;
    cairo_region_t* region;
};

struct BrushObject : Object {
    COLORREF color = 0;
    std::shared_ptr<BitmapObject> pattern;  // a pattern brush keeps its own copy
    bool stock = false;
};

struct DcObject : Object {
    ~DcObject() override;
    std::shared_ptr<BitmapObject> bitmap;  // the drawing target
    HGDIOBJ bitmapHandle = nullptr;        // what SelectObject hands back
    HGDIOBJ brushHandle = nullptr;
    HWND window = nullptr;           // set for window and paint DCs
    cairo_region_t* clip = nullptr;  // in window pixels; null means none
    bool memory = false;
    mutable bool drawnOn = false;  // a drawing call wrote through it
};

std::shared_ptr<DcObject> findDc(HDC hdc);
std::shared_ptr<BitmapObject> findBitmap(HBITMAP bitmap);
std::shared_ptr<RegionObject> findRegion(HRGN region);
std::shared_ptr<BrushObject> findBrush(HBRUSH brush);

// A DC drawing on a window's backing surface, clipped to `clip` (taken over).
HDC createWindowDc(HWND hwnd, std::shared_ptr<BitmapObject> surface, cairo_region_t* clip);

// The part of `rect` (window pixels) that a DC may write, in the bitmap's
// device pixels: inside the bitmap and the DC's clip. The caller destroys
// the region. Only for writing: it marks the DC drawn on, as createCairo does.
cairo_region_t* clippedArea(const DcObject& dc, const RECT& rect);

// `logical` (taken over) on the device grid of `scale`.
cairo_region_t* regionToDevice(cairo_region_t* logical, double scale);

// A cairo context on the DC's bitmap, in device pixels, with the DC's clip
// applied; the caller destroys it. Null when the DC has nothing to draw on.
cairo_t* createCairo(const DcObject& dc);

}  // namespace win32
