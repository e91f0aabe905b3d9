// GDI+ on cairo: the classes and flat calls the program uses, with gdiplus
// semantics. A Bitmap in PixelFormat32bppARGB holds straight (not
// premultiplied) BGRA, and a Graphics on it composites in straight alpha; a
// Graphics on an HDC draws premultiplied into the DC's bitmap, inside the
// DC's clip. Pixel edges lie on integer coordinates. The flat Gp* types are
// the classes themselves, so a flat call takes a class object's address.
// Objects are used from the UI thread only.
#pragma once

#include <memory>

#include "platform/win32/types.h"

namespace win32 {
struct GdipAccess;
struct PathData;
struct RegionData;
struct ImageData;
}  // namespace win32

namespace Gdiplus {

using REAL = float;
using ARGB = DWORD;
using PixelFormat = INT;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

enum SmoothingMode {
    SmoothingModeInvalid = -1,
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4,
    SmoothingModeAntiAlias8x4 = SmoothingModeAntiAlias,
    SmoothingModeAntiAlias8x8 = 5,
};

enum FillMode {
    FillModeAlternate = 0,  // even-odd
    FillModeWinding = 1,
};

enum CombineMode {
    CombineModeReplace = 0,
    CombineModeIntersect = 1,
    CombineModeUnion = 2,
    CombineModeXor = 3,
    CombineModeExclude = 4,
    CombineModeComplement = 5,
};

enum Unit {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};

enum ImageLockMode {
    ImageLockModeRead = 0x0001,
    ImageLockModeWrite = 0x0002,
    ImageLockModeUserInputBuf = 0x0004,
};

#define PixelFormat32bppRGB 0x00022009
#define PixelFormat32bppARGB 0x0026200A
#define PixelFormat32bppPARGB 0x000E200B

class Color {
public:
    enum {
        AlphaShift = 24,
        RedShift = 16,
        GreenShift = 8,
        BlueShift = 0,
    };

    Color() : Argb(0xFF000000) {}
    Color(ARGB argb) : Argb(argb) {}
    Color(BYTE r, BYTE g, BYTE b) : Argb(MakeARGB(255, r, g, b)) {}
    Color(BYTE a, BYTE r, BYTE g, BYTE b) : Argb(MakeARGB(a, r, g, b)) {}

    BYTE GetA() const { return static_cast<BYTE>(Argb >> AlphaShift); }
    BYTE GetR() const { return static_cast<BYTE>(Argb >> RedShift); }
    BYTE GetG() const { return static_cast<BYTE>(Argb >> GreenShift); }
    BYTE GetB() const { return static_cast<BYTE>(Argb >> BlueShift); }
    BYTE GetAlpha() const { return GetA(); }
    BYTE GetRed() const { return GetR(); }
    BYTE GetGreen() const { return GetG(); }
    BYTE GetBlue() const { return GetB(); }
    ARGB GetValue() const { return Argb; }
    void SetValue(ARGB argb) { Argb = argb; }

    static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
        return (static_cast<ARGB>(a) << AlphaShift) | (static_cast<ARGB>(r) << RedShift) |
               (static_cast<ARGB>(g) << GreenShift) | (static_cast<ARGB>(b) << BlueShift);
    }

protected:
    ARGB Argb;
};

class Point {
public:
    Point() : X(0), Y(0) {}
    Point(INT x, INT y) : X(x), Y(y) {}
    INT X;
    INT Y;
};

class PointF {
public:
    PointF() : X(0), Y(0) {}
    PointF(REAL x, REAL y) : X(x), Y(y) {}
    REAL X;
    REAL Y;
};

class Rect {
public:
    Rect() : X(0), Y(0), Width(0), Height(0) {}
    Rect(INT x, INT y, INT width, INT height) : X(x), Y(y), Width(width), Height(height) {}
    INT GetLeft() const { return X; }
    INT GetTop() const { return Y; }
    INT GetRight() const { return X + Width; }
    INT GetBottom() const { return Y + Height; }
    INT X;
    INT Y;
    INT Width;
    INT Height;
};

class RectF {
public:
    RectF() : X(0), Y(0), Width(0), Height(0) {}
    RectF(REAL x, REAL y, REAL width, REAL height) : X(x), Y(y), Width(width), Height(height) {}
    REAL GetLeft() const { return X; }
    REAL GetTop() const { return Y; }
    REAL GetRight() const { return X + Width; }
    REAL GetBottom() const { return Y + Height; }
    REAL X;
    REAL Y;
    REAL Width;
    REAL Height;
};

// What LockBits hands out: Stride bytes per row from Scan0.
class BitmapData {
public:
    UINT Width = 0;
    UINT Height = 0;
    INT Stride = 0;
    ::Gdiplus::PixelFormat PixelFormat = 0;
    void* Scan0 = nullptr;
    UINT_PTR Reserved = 0;
};

// Start-up and shutdown. Only GdiplusVersion 1 is accepted.
using DebugEventProc = void (*)(int level, CHAR* message);

struct GdiplusStartupInput {
    UINT GdiplusVersion;
    DebugEventProc DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;

    GdiplusStartupInput(DebugEventProc debugEventCallback = nullptr, BOOL suppressBackgroundThread = FALSE,
                        BOOL suppressExternalCodecs = FALSE)
        : GdiplusVersion(1),
          DebugEventCallback(debugEventCallback),
          SuppressBackgroundThread(suppressBackgroundThread),
          SuppressExternalCodecs(suppressExternalCodecs) {}
};

struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

class Graphics;

class Brush {
public:
    virtual ~Brush();
    Brush(const Brush&) = delete;
    Brush& operator=(const Brush&) = delete;
    Status GetLastStatus() const;

protected:
    Brush() = default;
    Color m_color;
    mutable Status m_lastStatus = Ok;
    friend struct win32::GdipAccess;
};

class SolidBrush : public Brush {
public:
    explicit SolidBrush(const Color& color);
    Status GetColor(Color* color) const;
    Status SetColor(const Color& color);
};

// A pen of the brush's colour; strokes have flat caps and mitred joins.
class Pen {
public:
    Pen(const Color& color, REAL width = 1.0f);
    Pen(const Brush* brush, REAL width = 1.0f);
    ~Pen();
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;
    REAL GetWidth() const { return m_width; }
    Status GetLastStatus() const;

private:
    Color m_color;
    REAL m_width;
    mutable Status m_lastStatus = Ok;
    friend struct win32::GdipAccess;
};

// Figures of straight segments and Bézier curves (arcs become curves).
// AddArc and AddLine extend the open figure, joined to its last point by a
// straight segment; AddPolygon and AddRectangle make closed figures of
// their own.
class GraphicsPath {
public:
    explicit GraphicsPath(FillMode fillMode = FillModeAlternate);
    ~GraphicsPath();
    GraphicsPath(const GraphicsPath&) = delete;
    GraphicsPath& operator=(const GraphicsPath&) = delete;

    Status Reset();
    Status SetFillMode(FillMode fillMode);
    FillMode GetFillMode() const;
    Status StartFigure();
    Status CloseFigure();
    Status CloseAllFigures();

    Status AddLine(INT x1, INT y1, INT x2, INT y2);
    Status AddLine(REAL x1, REAL y1, REAL x2, REAL y2);
    Status AddLine(const Point& pt1, const Point& pt2);
    Status AddLine(const PointF& pt1, const PointF& pt2);
    // Angles in degrees, clockwise from +x (y grows downward).
    Status AddArc(INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle);
    Status AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
    Status AddArc(const Rect& rect, REAL startAngle, REAL sweepAngle);
    Status AddArc(const RectF& rect, REAL startAngle, REAL sweepAngle);
    Status AddPolygon(const Point* points, INT count);
    Status AddPolygon(const PointF* points, INT count);
    Status AddRectangle(const Rect& rect);
    Status AddRectangle(const RectF& rect);

    INT GetPointCount() const;
    Status GetLastStatus() const;

private:
    std::unique_ptr<win32::PathData> m_data;
    mutable Status m_lastStatus = Ok;
    friend struct win32::GdipAccess;
};

// A set of pixels; a new region is infinite.
class Region {
public:
    Region();
    explicit Region(const Rect& rect);
    ~Region();
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;

    Status MakeEmpty();
    Status MakeInfinite();
    Status Union(const Rect& rect);
    BOOL IsVisible(INT x, INT y, const Graphics* g = nullptr) const;
    BOOL IsVisible(const Point& point, const Graphics* g = nullptr) const;
    Status GetLastStatus() const;

private:
    std::unique_ptr<win32::RegionData> m_data;
    mutable Status m_lastStatus = Ok;
    friend struct win32::GdipAccess;
};

// An image loaded from a PNG file (straight ARGB). A missing or unreadable
// file gives an image whose GetLastStatus is not Ok and which draws nothing.
class Image {
public:
    explicit Image(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE);
    static Image* FromFile(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE);
    virtual ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    UINT GetWidth();
    UINT GetHeight();
    PixelFormat GetPixelFormat();
    Status GetLastStatus() const;

protected:
    Image() = default;
    std::shared_ptr<win32::ImageData> m_data;
    mutable Status m_lastStatus = Ok;
    friend struct win32::GdipAccess;
};

// A bitmap in memory, every pixel 0x00000000 at creation. Only
// PixelFormat32bppARGB is supported.
class Bitmap : public Image {
public:
    Bitmap(INT width, INT height, PixelFormat format = PixelFormat32bppARGB);
    explicit Bitmap(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE);

    // Only PixelFormat32bppARGB; rows are packed (Stride = 4 * rect width
    // for a whole-width lock).
    Status LockBits(const Rect* rect, UINT flags, PixelFormat format, BitmapData* lockedBitmapData);
    Status UnlockBits(BitmapData* lockedBitmapData);
};

class Graphics {
public:
    explicit Graphics(HDC hdc);
    explicit Graphics(Image* image);
    static Graphics* FromHDC(HDC hdc);
    static Graphics* FromImage(Image* image);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    Status SetSmoothingMode(SmoothingMode smoothingMode);
    SmoothingMode GetSmoothingMode() const;

    // Sets every pixel inside the clip to the colour, without blending.
    Status Clear(const Color& color);
    Status FillPath(const Brush* brush, const GraphicsPath* path);
    Status FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height);
    Status FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
    Status FillRectangle(const Brush* brush, const Rect& rect);
    Status FillRectangle(const Brush* brush, const RectF& rect);
    Status DrawLine(const Pen* pen, INT x1, INT y1, INT x2, INT y2);
    Status DrawLine(const Pen* pen, REAL x1, REAL y1, REAL x2, REAL y2);

    Status DrawImage(Image* image, INT x, INT y);
    Status DrawImage(Image* image, REAL x, REAL y);
    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    Status DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height);
    Status DrawImage(Image* image, const Rect& destRect);
    Status DrawImage(Image* image, const RectF& destRect);
    // The source rectangle drawn at its own size with its corner at (x, y).
    Status DrawImage(Image* image, INT x, INT y, INT srcx, INT srcy, INT srcwidth, INT srcheight, Unit srcUnit);
    Status DrawImage(Image* image, REAL x, REAL y, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight, Unit srcUnit);

    // The clip from a path is the set of pixels whose centres lie inside.
    Status SetClip(const GraphicsPath* path, CombineMode combineMode = CombineModeReplace);
    Status ResetClip();

    // Lends the DC drawn on; other calls fail with ObjectBusy until
    // ReleaseHDC. Only a Graphics made on an HDC can lend one.
    HDC GetHDC();
    void ReleaseHDC(HDC hdc);

    Status GetLastStatus() const;

private:
    Graphics() = default;
    Status result(Status status) const;

    HDC m_hdc = nullptr;
    std::shared_ptr<win32::ImageData> m_image;
    std::unique_ptr<win32::RegionData> m_clip;  // null: no clip
    SmoothingMode m_smoothing = SmoothingModeDefault;
    bool m_busy = false;
    mutable Status m_lastStatus = Ok;
    friend struct win32::GdipAccess;
};

// The flat API, on the same objects.
using GpStatus = Status;
using GpFillMode = FillMode;
using GpGraphics = Graphics;
using GpPath = GraphicsPath;
using GpRegion = Region;
using GpBrush = Brush;
using GpSolidFill = SolidBrush;
using GpRect = Rect;

namespace DllExports {

GpStatus GdipCreatePath(GpFillMode fillMode, GpPath** path);
GpStatus GdipDeletePath(GpPath* path);
GpStatus GdipResetPath(GpPath* path);
GpStatus GdipAddPathArcI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle, REAL sweepAngle);
GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
GpStatus GdipAddPathLineI(GpPath* path, INT x1, INT y1, INT x2, INT y2);
GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipClosePathFigures(GpPath* path);

GpStatus GdipCreateRegion(GpRegion** region);
GpStatus GdipDeleteRegion(GpRegion* region);
GpStatus GdipSetEmpty(GpRegion* region);
GpStatus GdipSetInfinite(GpRegion* region);
GpStatus GdipCombineRegionRectI(GpRegion* region, const GpRect* rect, CombineMode combineMode);
GpStatus GdipIsVisibleRegionPointI(GpRegion* region, INT x, INT y, GpGraphics* graphics, BOOL* result);

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush);
GpStatus GdipDeleteBrush(GpBrush* brush);

GpStatus GdipGetDC(GpGraphics* graphics, HDC* hdc);
GpStatus GdipReleaseDC(GpGraphics* graphics, HDC hdc);
GpStatus GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path);

}  // namespace DllExports

using namespace DllExports;

}  // namespace Gdiplus
