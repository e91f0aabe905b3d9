// The insides of the GDI+ objects, shared by the gdiplus_*.cpp files.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "platform/win32/gdiplus.h"

namespace win32 {

struct PathData {
    enum PointType : std::uint8_t { Start, Line, Bezier };
    struct Figure {
        std::vector<Gdiplus::PointF> points;
        std::vector<std::uint8_t> types;
        bool closed = false;
    };
    std::vector<Figure> figures;
    bool figureOpen = false;  // the last figure takes the next line or arc
    Gdiplus::FillMode fillMode = Gdiplus::FillModeAlternate;

    // The figures as polygons, curves flattened.
    std::vector<std::vector<Gdiplus::PointF>> flatten() const;
    void appendTo(cairo_t* cr) const;
};

// A set of pixels; null region means infinite.
struct RegionData {
    RegionData() = default;
    explicit RegionData(cairo_region_t* r) : region(r) {}
    ~RegionData() {
        if (region) cairo_region_destroy(region);
    }
    RegionData(const RegionData&) = delete;
    RegionData& operator=(const RegionData&) = delete;
    cairo_region_t* region = nullptr;
};

// Straight BGRA, rows packed. Like a device bitmap, a bitmap made to be
// drawn on holds device pixels; a picture read from a file is at scale 1.
struct ImageData {
    int width = 0;  // device pixels
    int height = 0;
    std::vector<std::uint32_t> pixels;
    int logicalWidth = 0;  // window pixels
    int logicalHeight = 0;
    double scale = 1.0;
    bool locked = false;
    // At a scale other than 1 the locked bits are a copy in window pixels,
    // put back on unlock when written.
    std::vector<std::uint32_t> lockCopy;
    Gdiplus::Rect lockRect;
    bool lockWrites = false;
};

// The window pixels of `rect` of a scaled image: each the mean of the device
// pixels whose centres lie in it, every byte on its own (colour bytes under
// transparency count, as the blur reads them).
std::vector<std::uint32_t> windowPixels(const ImageData& image, const Gdiplus::Rect& rect);
// Writes window pixels back over the device pixels of `rect`, interpolated
// linearly between pixel centres, every byte on its own.
void putWindowPixels(ImageData& image, const Gdiplus::Rect& rect, const std::vector<std::uint32_t>& pixels);

// `path` with every point multiplied by `scale`.
PathData scaledPath(const PathData& path, double scale);

// The pixels of a path's pixel centres under its fill mode.
cairo_region_t* pathCentreMask(const PathData& path);

struct GdipAccess {
    static PathData& path(const Gdiplus::GraphicsPath& p) { return *p.m_data; }
    static RegionData& region(const Gdiplus::Region& r) { return *r.m_data; }
    static ImageData* image(const Gdiplus::Image& i) { return i.m_data.get(); }
    static const std::shared_ptr<ImageData>& imageRef(const Gdiplus::Image& i) { return i.m_data; }
    static Gdiplus::Color color(const Gdiplus::Brush& b) { return b.m_color; }
    static Gdiplus::Color color(const Gdiplus::Pen& p) { return p.m_color; }
};

}  // namespace win32
