#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/gdiplus.h"
#include "platform/win32/internal/faults.h"
#include "support/files.h"
#include "support/memory_surface.h"

using namespace Gdiplus;

namespace {

std::uint32_t pixel(Bitmap& bitmap, int x, int y) {
    BitmapData data;
    Rect r(x, y, 1, 1);
    EXPECT_EQ(bitmap.LockBits(&r, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
    std::uint32_t value = *static_cast<std::uint32_t*>(data.Scan0);
    bitmap.UnlockBits(&data);
    return value;
}

// The pixels of a bitmap as '#' (alpha 255), '.' (alpha 0) or '+' (between).
std::string picture(Bitmap& bitmap) {
    std::string out;
    for (UINT y = 0; y < bitmap.GetHeight(); ++y) {
        for (UINT x = 0; x < bitmap.GetWidth(); ++x) {
            std::uint32_t a = pixel(bitmap, static_cast<int>(x), static_cast<int>(y)) >> 24;
            out += a == 255 ? '#' : a == 0 ? '.' : '+';
        }
        out += '\n';
    }
    return out;
}

TEST(GdiplusStartup, TokensAndInjectedFailure) {
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    EXPECT_NE(token, 0u);
    GdiplusShutdown(token);

    win32::setFault(win32::Fault::GdiplusStartup, true);
    ULONG_PTR failed = 0;
    EXPECT_NE(GdiplusStartup(&failed, &input, nullptr), Ok);
    win32::setFault(win32::Fault::GdiplusStartup, false);
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    GdiplusShutdown(token);

    input.GdiplusVersion = 7;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
}

TEST(GdiplusBitmap, StraightClearKeepsColourUnderZeroAlpha) {
    Bitmap bitmap(4, 3, PixelFormat32bppARGB);
    EXPECT_EQ(pixel(bitmap, 0, 0), 0u);  // new bitmaps are transparent black
    Graphics g(&bitmap);
    ASSERT_EQ(g.Clear(Color(0x00FFFFFF)), Ok);
    BitmapData data;
    ASSERT_EQ(bitmap.LockBits(nullptr, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB, &data), Ok);
    EXPECT_EQ(data.Width, 4u);
    EXPECT_EQ(data.Height, 3u);
    EXPECT_EQ(data.Stride, 16);
    auto* bytes = static_cast<BYTE*>(data.Scan0);
    for (int i = 0; i < 4 * 3 * 4; ++i) EXPECT_EQ(bytes[i], (i % 4 == 3) ? 0 : 255) << i;
    // Locked twice, or drawn on while locked: refused.
    BitmapData again;
    EXPECT_EQ(bitmap.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &again), WrongState);
    EXPECT_EQ(g.Clear(Color(0xFF000000)), WrongState);
    EXPECT_EQ(bitmap.UnlockBits(&data), Ok);
    EXPECT_EQ(bitmap.UnlockBits(&data), WrongState);
}

TEST(GdiplusBitmap, TranslucentFillOverTransparentKeepsItsOwnColour) {
    Bitmap bitmap(2, 1);
    Graphics g(&bitmap);
    g.Clear(Color(0x00FFFFFF));
    SolidBrush glass(Color(0xD2FFFFFF));
    SolidBrush half(Color(0x800000FF));
    g.FillRectangle(&glass, 0, 0, 1, 1);
    g.FillRectangle(&half, 1, 0, 1, 1);
    EXPECT_EQ(pixel(bitmap, 0, 0), 0xD2FFFFFFu);
    EXPECT_EQ(pixel(bitmap, 1, 0), 0x800000FFu);  // straight: not darkened by its alpha
    SolidBrush blue(Color(0x800000FF));
    g.FillRectangle(&blue, 0, 0, 1, 1);
    // 0x80 over 0xD2: alpha 128 + 210 * 127 / 255 = 233, colour weighted by alpha.
    std::uint32_t p = pixel(bitmap, 0, 0);
    EXPECT_EQ(p >> 24, 233u);
    EXPECT_EQ(p & 0xFF, 255u);
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 255 * 105 / 233, 1);
}

TEST(GdiplusPath, EvenOddFillLeavesTheInnerFigureEmpty) {
    Bitmap bitmap(6, 6);
    Graphics g(&bitmap);
    GraphicsPath path(FillModeAlternate);
    path.AddRectangle(Rect(0, 0, 6, 6));
    path.AddRectangle(Rect(2, 2, 2, 2));
    SolidBrush brush(Color(0xFF99CCFF));
    ASSERT_EQ(g.FillPath(&brush, &path), Ok);
    EXPECT_EQ(picture(bitmap),
              "######\n"
              "######\n"
              "##..##\n"
              "##..##\n"
              "######\n"
              "######\n");
    EXPECT_EQ(pixel(bitmap, 0, 0), 0xFF99CCFFu);
}

TEST(GdiplusPath, LinesExtendOneFigurePolygonsStandAlone) {
    // Two lines and a close make the triangle (1,0) (1,6) (7,3).
    Bitmap bitmap(8, 7);
    Graphics g(&bitmap);
    GraphicsPath path;
    path.AddLine(1, 0, 1, 6);
    path.AddLine(1, 6, 7, 3);
    path.CloseAllFigures();
    EXPECT_EQ(path.GetPointCount(), 3);
    SolidBrush brush(Color(0xFFFFFFFF));
    g.FillPath(&brush, &path);
    EXPECT_EQ(picture(bitmap),
              ".#......\n"
              ".###....\n"
              ".#####..\n"
              ".#####..\n"
              ".###....\n"
              ".#......\n"
              "........\n");

    // Lines added after a polygon start a figure of their own: the result is
    // the two shapes filled one by one.
    PointF left[] = {PointF(1, 0), PointF(1, 6), PointF(4, 3)};
    GraphicsPath both, first, second;
    both.AddPolygon(left, 3);
    both.AddLine(5, 0, 5, 6);
    both.AddLine(5, 6, 8, 3);
    first.AddPolygon(left, 3);
    second.AddLine(5, 0, 5, 6);
    second.AddLine(5, 6, 8, 3);
    Bitmap combined(8, 7), apart(8, 7);
    Graphics gc(&combined), ga(&apart);
    gc.FillPath(&brush, &both);
    ga.FillPath(&brush, &first);
    ga.FillPath(&brush, &second);
    EXPECT_EQ(picture(combined), picture(apart));
    EXPECT_EQ(pixel(combined, 4, 0) >> 24, 0u);  // no joining edge from (4,3) to (5,0)
}

TEST(GdiplusPath, ArcsJoinWithStraightSegments) {
    // The highlight shape: two top corner arcs, the bottom line, closed.
    Bitmap bitmap(12, 8);
    Graphics g(&bitmap);
    GraphicsPath path;
    path.AddArc(0, 0, 4, 4, 180.0f, 90.0f);
    path.AddArc(8, 0, 4, 4, 270.0f, 90.0f);
    path.AddLine(12, 6, 0, 6);
    path.CloseAllFigures();
    SolidBrush brush(Color(0xFFFFFFFF));
    g.FillPath(&brush, &path);
    EXPECT_EQ(picture(bitmap),
              ".##########.\n"
              "############\n"
              "############\n"
              "############\n"
              "############\n"
              "############\n"
              "............\n"
              "............\n");
}

TEST(GdiplusGraphics, ClipFromPathIsAMaskOfPixelCentres) {
    Bitmap bitmap(10, 6);
    Graphics g(&bitmap);
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    GraphicsPath path;
    // Centres x 2.5 to 7.5 and y 2.5 to 4.5 lie inside; y 1.5 does not.
    path.AddRectangle(RectF(2.4f, 1.6f, 5.2f, 3.0f));
    ASSERT_EQ(g.SetClip(&path), Ok);
    g.Clear(Color(0xFF000000));
    EXPECT_EQ(picture(bitmap),
              "..........\n"
              "..........\n"
              "..######..\n"
              "..######..\n"
              "..######..\n"
              "..........\n");
    ASSERT_EQ(g.ResetClip(), Ok);
    g.Clear(Color(0x00FFFFFF));
    EXPECT_EQ(pixel(bitmap, 0, 0), 0x00FFFFFFu);
}

TEST(GdiplusGraphics, AntialiasingGivesPartialCoverageOnlyWhenAsked) {
    SolidBrush brush(Color(0xFFFFFFFF));
    Bitmap sharp(4, 1), smooth(4, 1);
    Graphics gs(&sharp), ga(&smooth);
    ga.SetSmoothingMode(SmoothingModeAntiAlias);
    gs.FillRectangle(&brush, 0.0f, 0.0f, 1.5f, 1.0f);
    ga.FillRectangle(&brush, 0.0f, 0.0f, 1.5f, 1.0f);
    EXPECT_EQ(pixel(sharp, 0, 0) >> 24, 255u);
    std::uint32_t edge = pixel(sharp, 1, 0) >> 24;
    EXPECT_TRUE(edge == 0 || edge == 255);
    EXPECT_NEAR(static_cast<int>(pixel(smooth, 1, 0) >> 24), 128, 2);
    EXPECT_EQ(pixel(smooth, 1, 0) & 0xFFFFFF, 0xFFFFFFu);  // straight colour kept
}

// Full alpha of every pixel of a bitmap's window, row by row.
std::vector<std::uint32_t> alphas(Bitmap& bitmap, int left, int top, int width, int height) {
    std::vector<std::uint32_t> out;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) out.push_back(pixel(bitmap, x, y) >> 24);
    return out;
}

TEST(GdiplusGraphics, AntialiasedCurvesAreTheSameWhereverTheyLie) {
    // A full circle from arcs: the curves bulge past their end points.
    SolidBrush brush(Color(0xFFFFFFFF));
    Bitmap near(12, 10), far(64, 48);
    Graphics gn(&near), gf(&far);
    gn.SetSmoothingMode(SmoothingModeAntiAlias);
    gf.SetSmoothingMode(SmoothingModeAntiAlias);
    GraphicsPath a, b;
    a.AddArc(2.3f, 2.2f, 7.4f, 5.6f, 0.0f, 360.0f);
    b.AddArc(49.3f, 37.2f, 7.4f, 5.6f, 0.0f, 360.0f);
    ASSERT_EQ(gn.FillPath(&brush, &a), Ok);
    ASSERT_EQ(gf.FillPath(&brush, &b), Ok);
    std::vector<std::uint32_t> expected = alphas(near, 0, 0, 12, 10);
    EXPECT_EQ(alphas(far, 47, 35, 12, 10), expected);
    // Round: the left and right edges and the top and bottom are partly covered.
    EXPECT_GT(expected[5 * 12 + 2], 0u);
    EXPECT_LT(expected[5 * 12 + 2], 255u);
    EXPECT_GT(expected[2 * 12 + 6], 0u);
    EXPECT_EQ(expected[5 * 12 + 6], 255u);
    EXPECT_EQ(expected[2 * 12 + 2], 0u);
    // Nothing outside the circle's window was touched.
    int touched = 0;
    for (std::uint32_t value : alphas(far, 0, 0, 64, 48)) touched += value != 0;
    int inside = 0;
    for (std::uint32_t value : expected) inside += value != 0;
    EXPECT_EQ(touched, inside);
}

TEST(GdiplusGraphics, AntialiasedFillStopsAtTheClipAndTheBitmapEdge) {
    SolidBrush brush(Color(0xFFFFFFFF));
    Bitmap clipped(16, 8), whole(16, 8);
    Graphics gc(&clipped), gw(&whole);
    gc.SetSmoothingMode(SmoothingModeAntiAlias);
    gw.SetSmoothingMode(SmoothingModeAntiAlias);
    GraphicsPath clip;
    clip.AddRectangle(RectF(3.0f, 0.0f, 13.0f, 8.0f));
    ASSERT_EQ(gc.SetClip(&clip), Ok);
    // Hangs off the right and bottom edges.
    gc.FillRectangle(&brush, 1.5f, 2.25f, 20.0f, 9.0f);
    gw.FillRectangle(&brush, 1.5f, 2.25f, 20.0f, 9.0f);
    std::vector<std::uint32_t> c = alphas(clipped, 0, 0, 16, 8), w = alphas(whole, 0, 0, 16, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            std::uint32_t want = x < 3 ? 0u : w[y * 16 + x];
            EXPECT_EQ(c[y * 16 + x], want) << x << "," << y;
        }
    }
    EXPECT_NEAR(static_cast<int>(w[2 * 16 + 5]), 191, 2);  // three quarters of row 2
    EXPECT_NEAR(static_cast<int>(w[4 * 16 + 1]), 128, 2);  // half of column 1
    EXPECT_EQ(w[7 * 16 + 15], 255u);
}

TEST(GdiplusGraphics, DrawLineWithAPenFromABrush) {
    Bitmap bitmap(7, 7);
    Graphics g(&bitmap);
    SolidBrush brush(Color(0xFF99CCFF));
    Pen pen(&brush, 3.0f);
    ASSERT_EQ(g.DrawLine(&pen, 0, 5, 7, 5), Ok);
    // Rows 3.5 to 6.5: the centres of rows 3, 4 and 5.
    EXPECT_EQ(picture(bitmap),
              ".......\n"
              ".......\n"
              ".......\n"
              "#######\n"
              "#######\n"
              "#######\n"
              ".......\n");
    EXPECT_EQ(pixel(bitmap, 3, 5), 0xFF99CCFFu);
}

TEST(GdiplusGraphics, OnAnHdcDrawsPremultipliedInsideBounds) {
    MemorySurface surface(4, 2);
    Graphics g(surface.dc);
    SolidBrush half(Color(0x80FF0000));
    ASSERT_EQ(g.FillRectangle(&half, -2, 0, 4, 1), Ok);  // clipped at the left edge
    EXPECT_EQ(surface.at(0, 0), 0x80800000u);
    EXPECT_EQ(surface.at(1, 0), 0x80800000u);
    EXPECT_EQ(surface.at(2, 0), 0u);
    ASSERT_EQ(g.Clear(Color(0x80FFFFFF)), Ok);
    EXPECT_EQ(surface.at(3, 1), 0x80808080u);
}

TEST(GdiplusGraphics, OnAWindowDcStaysInsideItsDeviceClip) {
    auto surface = std::make_shared<win32::BitmapObject>(4, 2);
    cairo_rectangle_int_t clip{1, 0, 2, 2};
    HDC window = win32::createWindowDc(nullptr, surface, cairo_region_create_rectangle(&clip));
    {
        Graphics g(window);
        g.SetSmoothingMode(SmoothingModeAntiAlias);
        SolidBrush brush(Color(0xFFFFFFFF));
        g.FillRectangle(&brush, 0.0f, 0.0f, 4.0f, 1.0f);
        g.FillRectangle(&brush, 0.0f, 1.0f, 1.5f, 1.0f);  // column 1 half covered
    }
    cairo_surface_flush(surface->surface());
    EXPECT_EQ(surface->row(0)[0], 0u);
    EXPECT_EQ(surface->row(0)[1], 0xFFFFFFFFu);
    EXPECT_EQ(surface->row(0)[3], 0u);
    std::uint32_t half = surface->row(1)[1];
    EXPECT_NEAR(static_cast<int>(half >> 24), 128, 2);
    EXPECT_EQ(half & 0xFF, half >> 24);  // premultiplied: colour equals alpha for white
    DeleteDC(window);
}

TEST(GdiplusGraphics, DrawImageOntoBitmapAndOntoHdc) {
    Bitmap source(2, 1);
    {
        Graphics g(&source);
        g.Clear(Color(0x00FFFFFF));
        SolidBrush brush(Color(0x80FF0000));
        g.FillRectangle(&brush, 0, 0, 1, 1);
    }
    // Straight target: the source's transparent pixel leaves the target alone.
    Bitmap target(3, 1);
    Graphics gt(&target);
    gt.Clear(Color(0xFF0000FF));
    ASSERT_EQ(gt.DrawImage(&source, 1, 0), Ok);
    EXPECT_EQ(pixel(target, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(pixel(target, 1, 0), 0xFF80007Fu);
    EXPECT_EQ(pixel(target, 2, 0), 0xFF0000FFu);

    // Premultiplied target starting all zero: the premultiplied source.
    MemorySurface surface(3, 1);
    Graphics gd(surface.dc);
    ASSERT_EQ(gd.DrawImage(&source, 0, 0), Ok);
    EXPECT_EQ(surface.at(0, 0), 0x80800000u);
    EXPECT_EQ(surface.at(1, 0), 0u);

    // A source rectangle in pixels, drawn at its own size.
    MemorySurface slice(1, 1);
    Graphics gs(slice.dc);
    ASSERT_EQ(gs.DrawImage(&source, 0, 0, 0, 0, 1, 1, UnitPixel), Ok);
    EXPECT_EQ(slice.at(0, 0), 0x80800000u);
}

TEST(GdiplusGraphics, LentHdcMakesTheGraphicsBusy) {
    MemorySurface surface(2, 2);
    Graphics g(surface.dc);
    HDC hdc = g.GetHDC();
    EXPECT_EQ(hdc, surface.dc);
    SolidBrush brush(Color(0xFFFFFFFF));
    EXPECT_EQ(g.FillRectangle(&brush, 0, 0, 1, 1), ObjectBusy);
    g.ReleaseHDC(hdc);
    EXPECT_EQ(g.FillRectangle(&brush, 0, 0, 1, 1), Ok);

    GraphicsPath path;
    path.AddRectangle(Rect(0, 0, 2, 2));
    HDC flat = nullptr;
    ASSERT_EQ(GdipGetDC(&g, &flat), Ok);
    EXPECT_EQ(GdipFillPath(&g, &brush, &path), ObjectBusy);
    EXPECT_EQ(GdipReleaseDC(&g, flat), Ok);
    EXPECT_EQ(GdipFillPath(&g, &brush, &path), Ok);
    EXPECT_EQ(surface.at(1, 1), 0xFFFFFFFFu);
}

TEST(GdiplusGraphics, StaleHdcFailsWithoutDrawing) {
    HDC dc = CreateCompatibleDC(nullptr);
    Graphics g(dc);
    DeleteDC(dc);
    SolidBrush brush(Color(0xFFFFFFFF));
    EXPECT_NE(g.FillRectangle(&brush, 0, 0, 1, 1), Ok);
    EXPECT_EQ(g.GetHDC(), nullptr);
}

TEST(GdiplusRegion, UnionOfRectanglesAndFlatCalls) {
    Region infinite;
    EXPECT_TRUE(infinite.IsVisible(-1000, 1000));
    GpRegion* region = nullptr;
    ASSERT_EQ(GdipCreateRegion(&region), Ok);
    ASSERT_EQ(GdipSetEmpty(region), Ok);
    BOOL visible = TRUE;
    GdipIsVisibleRegionPointI(region, 0, 0, nullptr, &visible);
    EXPECT_FALSE(visible);
    Rect a(55, 105, 55, 30), b(120, 105, 55, 30);
    GdipCombineRegionRectI(region, &a, CombineModeUnion);
    GdipCombineRegionRectI(region, &b, CombineModeUnion);
    EXPECT_TRUE(region->IsVisible(55, 105));
    EXPECT_TRUE(region->IsVisible(Point(109, 134)));
    EXPECT_FALSE(region->IsVisible(110, 120));  // right edge excluded
    EXPECT_FALSE(region->IsVisible(60, 135));   // bottom edge excluded
    EXPECT_TRUE(region->IsVisible(120, 120));
    GdipDeleteRegion(region);
}

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(GdiplusImage, LoadsPngAsStraightArgb) {
    std::string path = tempPath("gdi_test_image.png");
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 3, 2);
    auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s));
    row[0] = 0x80400000;  // premultiplied half red
    row[1] = 0xFF00FF00;
    cairo_surface_mark_dirty(s);
    ASSERT_EQ(cairo_surface_write_to_png(s, path.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(s);

    Image* image = Image::FromFile(wide(path).c_str());
    ASSERT_EQ(image->GetLastStatus(), Ok);
    EXPECT_EQ(image->GetWidth(), 3u);
    EXPECT_EQ(image->GetHeight(), 2u);
    Bitmap target(3, 1);
    Graphics g(&target);
    g.DrawImage(image, 0, 0);
    EXPECT_EQ(pixel(target, 0, 0) >> 24, 0x80u);
    EXPECT_NEAR(static_cast<int>((pixel(target, 0, 0) >> 16) & 0xFF), 0x80, 1);
    EXPECT_EQ(pixel(target, 1, 0), 0xFF00FF00u);
    delete image;
    std::remove(path.c_str());
}

TEST(GdiplusImage, MissingOrCorruptFileReportsAnError) {
    Image missing(L"/nonexistent/D:\\PLAYMENU.PNG");
    EXPECT_EQ(missing.GetLastStatus(), FileNotFound);
    EXPECT_EQ(missing.GetWidth(), 0u);
    Bitmap target(1, 1);
    Graphics g(&target);
    EXPECT_NE(g.DrawImage(&missing, 0, 0), Ok);
    EXPECT_NE(Graphics(&missing).GetLastStatus(), Ok);

    std::string path = tempPath("gdi_test_corrupt.png");
    std::ofstream(path) << "not a png";
    Image corrupt(wide(path).c_str());
    EXPECT_NE(corrupt.GetLastStatus(), Ok);
    std::remove(path.c_str());
}

}  // namespace
