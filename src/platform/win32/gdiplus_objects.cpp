// GDI+ start-up and the simple drawing objects: brushes, pens and regions.
#include <mutex>
#include <set>
#include <utility>

#include "platform/win32/internal/faults.h"
#include "platform/win32/internal/gdiplus_internal.h"

namespace win32 {
namespace {

struct StartupState {
    std::mutex mutex;
    std::set<ULONG_PTR> tokens;
    ULONG_PTR nextToken = 1;
};

StartupState& startupState() {
    static StartupState state;
    return state;
}

}  // namespace
}  // namespace win32

namespace Gdiplus {

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
    if (!token || !input) return InvalidParameter;
    if (input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
    auto& state = win32::startupState();
    std::lock_guard lock(state.mutex);
    if (win32::faultActive(win32::Fault::GdiplusStartup)) return GenericError;
    *token = state.nextToken++;
    state.tokens.insert(*token);
    if (output) *output = GdiplusStartupOutput{};
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    auto& state = win32::startupState();
    std::lock_guard lock(state.mutex);
    state.tokens.erase(token);
}

// Brushes and pens

Brush::~Brush() = default;
Status Brush::GetLastStatus() const { return std::exchange(m_lastStatus, Ok); }

SolidBrush::SolidBrush(const Color& color) { m_color = color; }

Status SolidBrush::GetColor(Color* color) const {
    if (!color) return m_lastStatus = InvalidParameter;
    *color = m_color;
    return Ok;
}

Status SolidBrush::SetColor(const Color& color) {
    m_color = color;
    return Ok;
}

Pen::Pen(const Color& color, REAL width) : m_color(color), m_width(width) {}

Pen::Pen(const Brush* brush, REAL width) : m_width(width) {
    if (brush)
        m_color = win32::GdipAccess::color(*brush);
    else
        m_lastStatus = InvalidParameter;
}

Pen::~Pen() = default;
Status Pen::GetLastStatus() const { return std::exchange(m_lastStatus, Ok); }

// Regions

Region::Region() : m_data(std::make_unique<win32::RegionData>()) {}

Region::Region(const Rect& rect) : m_data(std::make_unique<win32::RegionData>(cairo_region_create())) { Union(rect); }

Region::~Region() = default;

Status Region::MakeEmpty() {
    if (m_data->region) cairo_region_destroy(m_data->region);
    m_data->region = cairo_region_create();
    return Ok;
}

Status Region::MakeInfinite() {
    if (m_data->region) cairo_region_destroy(m_data->region);
    m_data->region = nullptr;
    return Ok;
}

Status Region::Union(const Rect& rect) {
    if (!m_data->region) return Ok;  // already everything
    if (rect.Width <= 0 || rect.Height <= 0) return Ok;
    cairo_rectangle_int_t r{rect.X, rect.Y, rect.Width, rect.Height};
    return cairo_region_union_rectangle(m_data->region, &r) == CAIRO_STATUS_SUCCESS ? Ok : m_lastStatus = OutOfMemory;
}

BOOL Region::IsVisible(INT x, INT y, const Graphics*) const {
    return !m_data->region || cairo_region_contains_point(m_data->region, x, y) ? TRUE : FALSE;
}

BOOL Region::IsVisible(const Point& point, const Graphics* g) const { return IsVisible(point.X, point.Y, g); }

Status Region::GetLastStatus() const { return std::exchange(m_lastStatus, Ok); }

}  // namespace Gdiplus
