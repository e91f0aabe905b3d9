// The flat GDI+ calls, on the class objects themselves.
#include <new>

#include "platform/win32/internal/gdiplus_internal.h"

namespace Gdiplus::DllExports {

GpStatus GdipCreatePath(GpFillMode fillMode, GpPath** path) {
    if (!path) return InvalidParameter;
    if (fillMode != FillModeAlternate && fillMode != FillModeWinding) return InvalidParameter;
    *path = new (std::nothrow) GraphicsPath(fillMode);
    return *path ? Ok : OutOfMemory;
}

GpStatus GdipDeletePath(GpPath* path) {
    if (!path) return InvalidParameter;
    delete path;
    return Ok;
}

GpStatus GdipResetPath(GpPath* path) { return path ? path->Reset() : InvalidParameter; }

GpStatus GdipAddPathArcI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle) {
    return path ? path->AddArc(x, y, width, height, startAngle, sweepAngle) : InvalidParameter;
}

GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle) {
    return path ? path->AddArc(x, y, width, height, startAngle, sweepAngle) : InvalidParameter;
}

GpStatus GdipAddPathLineI(GpPath* path, INT x1, INT y1, INT x2, INT y2) {
    return path ? path->AddLine(x1, y1, x2, y2) : InvalidParameter;
}

GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2) {
    return path ? path->AddLine(x1, y1, x2, y2) : InvalidParameter;
}

GpStatus GdipClosePathFigures(GpPath* path) { return path ? path->CloseAllFigures() : InvalidParameter; }

GpStatus GdipCreateRegion(GpRegion** region) {
    if (!region) return InvalidParameter;
    *region = new (std::nothrow) Region();
    return *region ? Ok : OutOfMemory;
}

GpStatus GdipDeleteRegion(GpRegion* region) {
    if (!region) return InvalidParameter;
    delete region;
    return Ok;
}

GpStatus GdipSetEmpty(GpRegion* region) { return region ? region->MakeEmpty() : InvalidParameter; }
GpStatus GdipSetInfinite(GpRegion* region) { return region ? region->MakeInfinite() : InvalidParameter; }

GpStatus GdipCombineRegionRectI(GpRegion* region, const GpRect* rect, CombineMode combineMode) {
    if (!region || !rect) return InvalidParameter;
    if (combineMode != CombineModeUnion) return NotImplemented;
    return region->Union(*rect);
}

GpStatus GdipIsVisibleRegionPointI(GpRegion* region, INT x, INT y, GpGraphics* graphics, BOOL* result) {
    if (!region || !result) return InvalidParameter;
    *result = region->IsVisible(x, y, graphics);
    return Ok;
}

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush) {
    if (!brush) return InvalidParameter;
    *brush = new (std::nothrow) SolidBrush(Color(color));
    return *brush ? Ok : OutOfMemory;
}

GpStatus GdipDeleteBrush(GpBrush* brush) {
    if (!brush) return InvalidParameter;
    delete brush;
    return Ok;
}

GpStatus GdipGetDC(GpGraphics* graphics, HDC* hdc) {
    if (!graphics || !hdc) return InvalidParameter;
    graphics->GetLastStatus();  // report only this call's outcome
    *hdc = graphics->GetHDC();
    return *hdc ? Ok : graphics->GetLastStatus();
}

GpStatus GdipReleaseDC(GpGraphics* graphics, HDC hdc) {
    if (!graphics) return InvalidParameter;
    graphics->GetLastStatus();  // report only this call's outcome
    graphics->ReleaseHDC(hdc);
    return graphics->GetLastStatus();
}

GpStatus GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path) {
    if (!graphics) return InvalidParameter;
    return graphics->FillPath(brush, path);
}

}  // namespace Gdiplus::DllExports
