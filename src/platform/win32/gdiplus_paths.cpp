// GDI+ paths: figures of lines, arcs, polygons and rectangles, flattened
// for filling and for clip masks.
#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/win32/internal/gdiplus_internal.h"

namespace win32 {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The parameter of the point where the ray at `degrees` from the centre
// meets an ellipse of radii rx, ry; in (-pi, pi].
double ellipseParameter(double degrees, double rx, double ry) {
    double a = degrees * kPi / 180.0;
    return std::atan2(rx * std::sin(a), ry * std::cos(a));
}

}  // namespace

std::vector<std::vector<Gdiplus::PointF>> PathData::flatten() const {
    std::vector<std::vector<Gdiplus::PointF>> polygons;
    for (const Figure& f : figures) {
        std::vector<Gdiplus::PointF> poly;
        for (std::size_t i = 0; i < f.points.size(); ++i) {
            if (f.types[i] == Bezier && i + 2 < f.points.size() && !poly.empty()) {
                Gdiplus::PointF p0 = poly.back(), p1 = f.points[i], p2 = f.points[i + 1], p3 = f.points[i + 2];
                constexpr int kSteps = 16;
                for (int s = 1; s <= kSteps; ++s) {
                    double t = static_cast<double>(s) / kSteps, u = 1 - t;
                    double x = u * u * u * p0.X + 3 * u * u * t * p1.X + 3 * u * t * t * p2.X + t * t * t * p3.X;
                    double y = u * u * u * p0.Y + 3 * u * u * t * p1.Y + 3 * u * t * t * p2.Y + t * t * t * p3.Y;
                    poly.push_back(Gdiplus::PointF(static_cast<float>(x), static_cast<float>(y)));
                }
                i += 2;
            } else {
                poly.push_back(f.points[i]);
            }
        }
        if (!poly.empty()) polygons.push_back(std::move(poly));
    }
    return polygons;
}

void PathData::appendTo(cairo_t* cr) const {
    for (const Figure& f : figures) {
        if (f.points.empty()) continue;
        cairo_new_sub_path(cr);
        for (std::size_t i = 0; i < f.points.size(); ++i) {
            const Gdiplus::PointF& p = f.points[i];
            if (i == 0) {
                cairo_move_to(cr, p.X, p.Y);
            } else if (f.types[i] == Bezier && i + 2 < f.points.size()) {
                const Gdiplus::PointF &c2 = f.points[i + 1], &e = f.points[i + 2];
                cairo_curve_to(cr, p.X, p.Y, c2.X, c2.Y, e.X, e.Y);
                i += 2;
            } else {
                cairo_line_to(cr, p.X, p.Y);
            }
        }
        if (f.closed) cairo_close_path(cr);
    }
}

cairo_region_t* pathCentreMask(const PathData& path) {
    auto polygons = path.flatten();
    struct Edge {
        double x0, y0, x1, y1;
        int dir;
    };
    std::vector<Edge> edges;
    double top = 1e300, bottom = -1e300;
    for (const auto& poly : polygons) {
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const Gdiplus::PointF& a = poly[i];
            const Gdiplus::PointF& b = poly[(i + 1) % poly.size()];  // filling closes every figure
            if (a.Y == b.Y) continue;
            if (a.Y < b.Y)
                edges.push_back({a.X, a.Y, b.X, b.Y, 1});
            else
                edges.push_back({b.X, b.Y, a.X, a.Y, -1});
            top = std::min<double>(top, std::min(a.Y, b.Y));
            bottom = std::max<double>(bottom, std::max(a.Y, b.Y));
        }
    }
    std::vector<cairo_rectangle_int_t> rects;
    if (!edges.empty()) {
        int y0 = static_cast<int>(std::max(-1e6, std::floor(top - 0.5)));
        int y1 = static_cast<int>(std::min(1e6, std::ceil(bottom)));
        std::vector<std::pair<double, int>> crossings;
        for (int y = y0; y <= y1; ++y) {
            double yc = y + 0.5;
            crossings.clear();
            for (const Edge& e : edges) {
                if (yc < e.y0 || yc >= e.y1) continue;
                double x = e.x0 + (yc - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
                crossings.emplace_back(x, e.dir);
            }
            std::sort(crossings.begin(), crossings.end());
            int winding = 0;
            for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += path.fillMode == Gdiplus::FillModeAlternate ? 1 : crossings[i].second;
                bool inside = path.fillMode == Gdiplus::FillModeAlternate ? (winding & 1) != 0 : winding != 0;
                if (!inside) continue;
                // Pixels whose centre x + 0.5 lies in [left, right).
                double left = std::clamp(std::ceil(crossings[i].first - 0.5), -1e6, 1e6);
                double right = std::clamp(std::ceil(crossings[i + 1].first - 0.5), -1e6, 1e6);
                if (right > left) rects.push_back({static_cast<int>(left), y, static_cast<int>(right - left), 1});
            }
        }
    }
    return cairo_region_create_rectangles(rects.data(), static_cast<int>(rects.size()));
}

}  // namespace win32

namespace Gdiplus {

using win32::PathData;

// Paths

GraphicsPath::GraphicsPath(FillMode fillMode) : m_data(std::make_unique<PathData>()) { SetFillMode(fillMode); }
GraphicsPath::~GraphicsPath() = default;

Status GraphicsPath::Reset() {
    m_data->figures.clear();
    m_data->figureOpen = false;
    m_data->fillMode = FillModeAlternate;
    return Ok;
}

Status GraphicsPath::SetFillMode(FillMode fillMode) {
    if (fillMode != FillModeAlternate && fillMode != FillModeWinding) return m_lastStatus = InvalidParameter;
    m_data->fillMode = fillMode;
    return Ok;
}

FillMode GraphicsPath::GetFillMode() const { return m_data->fillMode; }

Status GraphicsPath::StartFigure() {
    m_data->figureOpen = false;
    return Ok;
}

Status GraphicsPath::CloseFigure() {
    if (m_data->figureOpen) m_data->figures.back().closed = true;
    m_data->figureOpen = false;
    return Ok;
}

Status GraphicsPath::CloseAllFigures() {
    for (auto& f : m_data->figures) f.closed = true;
    m_data->figureOpen = false;
    return Ok;
}

namespace {

// Continues the open figure with a straight segment to `p`, or starts a new
// figure at `p`.
void joinOrStart(PathData& d, PointF p) {
    if (!d.figureOpen) {
        d.figures.emplace_back();
        d.figures.back().points.push_back(p);
        d.figures.back().types.push_back(PathData::Start);
        d.figureOpen = true;
        return;
    }
    PathData::Figure& f = d.figures.back();
    if (f.points.back().X != p.X || f.points.back().Y != p.Y) {
        f.points.push_back(p);
        f.types.push_back(PathData::Line);
    }
}

void addClosedFigure(PathData& d, const std::vector<PointF>& points) {
    PathData::Figure f;
    f.points = points;
    f.types.assign(points.size(), PathData::Line);
    f.types[0] = PathData::Start;
    f.closed = true;
    d.figures.push_back(std::move(f));
    d.figureOpen = false;
}

}  // namespace

Status GraphicsPath::AddLine(REAL x1, REAL y1, REAL x2, REAL y2) {
    joinOrStart(*m_data, PointF(x1, y1));
    m_data->figures.back().points.push_back(PointF(x2, y2));
    m_data->figures.back().types.push_back(PathData::Line);
    return Ok;
}

Status GraphicsPath::AddLine(INT x1, INT y1, INT x2, INT y2) {
    return AddLine(static_cast<REAL>(x1), static_cast<REAL>(y1), static_cast<REAL>(x2), static_cast<REAL>(y2));
}
Status GraphicsPath::AddLine(const Point& a, const Point& b) { return AddLine(a.X, a.Y, b.X, b.Y); }
Status GraphicsPath::AddLine(const PointF& a, const PointF& b) { return AddLine(a.X, a.Y, b.X, b.Y); }

Status GraphicsPath::AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle) {
    if (!(width > 0) || !(height > 0) || !std::isfinite(startAngle) || !std::isfinite(sweepAngle))
        return m_lastStatus = InvalidParameter;
    double rx = width / 2.0, ry = height / 2.0, cx = x + rx, cy = y + ry;
    double sweep = std::clamp<double>(sweepAngle, -360.0, 360.0);
    double t0 = win32::ellipseParameter(startAngle, rx, ry);
    double t1 = win32::ellipseParameter(startAngle + sweep, rx, ry);
    if (std::fabs(sweep) >= 360.0) {
        t1 = t0 + (sweep > 0 ? 2 : -2) * win32::kPi;
    } else if (sweep > 0) {
        while (t1 < t0) t1 += 2 * win32::kPi;
    } else {
        while (t1 > t0) t1 -= 2 * win32::kPi;
    }
    auto at = [&](double t) {
        return PointF(static_cast<REAL>(cx + rx * std::cos(t)), static_cast<REAL>(cy + ry * std::sin(t)));
    };
    joinOrStart(*m_data, at(t0));
    PathData::Figure& f = m_data->figures.back();
    int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(t1 - t0) / (win32::kPi / 2) - 1e-9)));
    double step = (t1 - t0) / segments;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int s = 0; s < segments; ++s) {
        double a = t0 + s * step, b = a + step;
        f.points.push_back(PointF(static_cast<REAL>(cx + rx * (std::cos(a) - k * std::sin(a))),
                                  static_cast<REAL>(cy + ry * (std::sin(a) + k * std::cos(a)))));
        f.points.push_back(PointF(static_cast<REAL>(cx + rx * (std::cos(b) + k * std::sin(b))),
                                  static_cast<REAL>(cy + ry * (std::sin(b) - k * std::cos(b)))));
        f.points.push_back(at(b));
        f.types.insert(f.types.end(), 3, PathData::Bezier);
    }
    return Ok;
}

Status GraphicsPath::AddArc(INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle) {
    return AddArc(static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(width), static_cast<REAL>(height),
                  startAngle, sweepAngle);
}
Status GraphicsPath::AddArc(const Rect& r, REAL startAngle, REAL sweepAngle) {
    return AddArc(r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle);
}
Status GraphicsPath::AddArc(const RectF& r, REAL startAngle, REAL sweepAngle) {
    return AddArc(r.X, r.Y, r.Width, r.Height, startAngle, sweepAngle);
}

Status GraphicsPath::AddPolygon(const PointF* points, INT count) {
    if (!points || count < 3) return m_lastStatus = InvalidParameter;
    addClosedFigure(*m_data, std::vector<PointF>(points, points + count));
    return Ok;
}

Status GraphicsPath::AddPolygon(const Point* points, INT count) {
    if (!points || count < 3) return m_lastStatus = InvalidParameter;
    std::vector<PointF> converted;
    for (INT i = 0; i < count; ++i)
        converted.push_back(PointF(static_cast<REAL>(points[i].X), static_cast<REAL>(points[i].Y)));
    return AddPolygon(converted.data(), count);
}

Status GraphicsPath::AddRectangle(const RectF& r) {
    if (r.Width == 0 || r.Height == 0) return Ok;  // nothing to add
    addClosedFigure(*m_data, {PointF(r.X, r.Y), PointF(r.X + r.Width, r.Y), PointF(r.X + r.Width, r.Y + r.Height),
                              PointF(r.X, r.Y + r.Height)});
    return Ok;
}

Status GraphicsPath::AddRectangle(const Rect& r) {
    return AddRectangle(
        RectF(static_cast<REAL>(r.X), static_cast<REAL>(r.Y), static_cast<REAL>(r.Width), static_cast<REAL>(r.Height)));
}

INT GraphicsPath::GetPointCount() const {
    std::size_t n = 0;
    for (const auto& f : m_data->figures) n += f.points.size();
    return static_cast<INT>(n);
}

Status GraphicsPath::GetLastStatus() const { return std::exchange(m_lastStatus, Ok); }

}  // namespace Gdiplus
