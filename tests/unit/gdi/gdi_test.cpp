#include <gtest/gtest.h>

#include "platform/win32/gdi.h"
#include "platform/win32/internal/gdi_objects.h"
#include "support/memory_surface.h"

namespace {

// Pixel (x, y) of a w-wide pattern: distinct bytes everywhere.
std::uint32_t patternPixel(int x, int y) { return 0x80000000u | (static_cast<std::uint32_t>(y) << 8) | x; }

void paintPattern(MemorySurface& s, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set(x, y, patternPixel(x, y));
}

BLENDFUNCTION blend(BYTE constantAlpha, BYTE format) { return BLENDFUNCTION{AC_SRC_OVER, 0, constantAlpha, format}; }

TEST(BitBlt, CopiesBytesAndClipsAtBothBitmapsEdges) {
    MemorySurface src(4, 4), dst(6, 6);
    paintPattern(src, 4, 4);
    dst.fill(0x11111111);
    // Destination runs off the right and bottom; source runs off its left.
    ASSERT_TRUE(BitBlt(dst.dc, 3, 3, 5, 5, src.dc, -1, 0, SRCCOPY));
    EXPECT_EQ(dst.at(3, 3), 0x11111111u);  // its source column -1 does not exist
    EXPECT_EQ(dst.at(4, 3), patternPixel(0, 0));
    EXPECT_EQ(dst.at(5, 5), patternPixel(1, 2));
    EXPECT_EQ(dst.at(2, 2), 0x11111111u);
    // Fully outside: nothing written, still success.
    EXPECT_TRUE(BitBlt(dst.dc, 10, 10, 4, 4, src.dc, 0, 0, SRCCOPY));
}

TEST(BitBlt, OverlappingCopyWithinOneBitmapReadsTheOriginal) {
    MemorySurface s(8, 1);
    paintPattern(s, 8, 1);
    ASSERT_TRUE(BitBlt(s.dc, 1, 0, 6, 1, s.dc, 0, 0, SRCCOPY));
    for (int x = 1; x < 7; ++x) EXPECT_EQ(s.at(x, 0), patternPixel(x - 1, 0)) << x;
}

TEST(BitBlt, HonoursTheDeviceClip) {
    auto surface = std::make_shared<win32::BitmapObject>(4, 4);
    cairo_rectangle_int_t clip{1, 1, 2, 2};
    HDC window = win32::createWindowDc(nullptr, surface, cairo_region_create_rectangle(&clip));
    MemorySurface src(4, 4);
    src.fill(0xFF0000FF);
    ASSERT_TRUE(BitBlt(window, 0, 0, 4, 4, src.dc, 0, 0, SRCCOPY));
    cairo_surface_flush(surface->surface());
    EXPECT_EQ(surface->row(0)[0], 0u);
    EXPECT_EQ(surface->row(1)[1], 0xFF0000FFu);
    EXPECT_EQ(surface->row(2)[2], 0xFF0000FFu);
    EXPECT_EQ(surface->row(3)[2], 0u);
    DeleteDC(window);
}

// A new bitmap is black, though its clearing is put off: a copy that covers
// it whole skips the clearing, anything less leaves the rest black. Each
// bitmap takes memory a lit one just gave back, so a skipped clear shows.
TEST(BitBlt, ANewBitmapIsBlackWhereverACopyLeavesItUntouched) {
    struct Case {
        const char* name;
        int srcW, srcH, x, y, w, h, sx, sy;
        int litLeft, litTop, litRight, litBottom;  // destination pixels the copy writes
    };
    const Case cases[] = {
        {"whole, from a larger source", 6, 6, 0, 0, 4, 4, 1, 1, 0, 0, 4, 4},
        {"whole, rectangle running off every edge", 4, 4, -2, -2, 8, 8, -2, -2, 0, 0, 4, 4},
        {"source too small for the bitmap", 3, 4, 0, 0, 4, 4, 0, 0, 0, 0, 3, 4},
        {"source off to the left", 4, 4, 0, 0, 4, 4, -1, 0, 1, 0, 4, 4},
        {"a part of the bitmap", 4, 4, 1, 1, 2, 2, 0, 0, 1, 1, 3, 3},
        {"nothing at all", 4, 4, 9, 9, 2, 2, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySurface src(c.srcW, c.srcH);
        src.fill(0xFF00FF00);
        {
            MemorySurface lit(4, 4);
            lit.fill(0xFFFFFFFF);
        }
        MemorySurface dst(4, 4);
        ASSERT_TRUE(BitBlt(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.sx, c.sy, SRCCOPY));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                bool lit = x >= c.litLeft && x < c.litRight && y >= c.litTop && y < c.litBottom;
                EXPECT_EQ(dst.at(x, y), lit ? 0xFF00FF00u : 0u) << x << "," << y;
            }
    }
}

TEST(BitBlt, StaleOrWrongHandlesFail) {
    MemorySurface s(2, 2);
    HDC gone = CreateCompatibleDC(nullptr);
    DeleteDC(gone);
    EXPECT_FALSE(BitBlt(gone, 0, 0, 1, 1, s.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(s.dc, 0, 0, 1, 1, gone, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(s.bitmap), 0, 0, 1, 1, s.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(StretchBlt(s.dc, 0, 0, 1, 1, gone, 0, 0, 1, 1, SRCCOPY));
    EXPECT_FALSE(AlphaBlend(s.dc, 0, 0, 1, 1, gone, 0, 0, 1, 1, blend(255, AC_SRC_ALPHA)));
    EXPECT_FALSE(BitBlt(s.dc, 0, 0, 1, 1, s.dc, 0, 0, 0x00EE0086 /* SRCPAINT */));
}

TEST(StretchBlt, NegativeSourceWidthMirrorsEveryRow) {
    MemorySurface src(55, 3), dst(55, 3);
    paintPattern(src, 55, 3);
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 55, 3, src.dc, 55, 0, -55, 3, SRCCOPY));
    for (int y = 0; y < 3; ++y)
        for (int c = 0; c < 55; ++c) ASSERT_EQ(dst.at(c, y), patternPixel(54 - c, y)) << c << "," << y;
}

TEST(StretchBlt, NearestNeighbourWhenEnlargingAndShrinking) {
    MemorySurface src(2, 2), big(4, 4), small(1, 1);
    paintPattern(src, 2, 2);
    ASSERT_TRUE(StretchBlt(big.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(big.at(0, 0), patternPixel(0, 0));
    EXPECT_EQ(big.at(1, 1), patternPixel(0, 0));
    EXPECT_EQ(big.at(2, 1), patternPixel(1, 0));
    EXPECT_EQ(big.at(3, 3), patternPixel(1, 1));
    ASSERT_TRUE(StretchBlt(small.dc, 0, 0, 1, 1, big.dc, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(small.at(0, 0), patternPixel(1, 1));  // the centre sample
}

TEST(AlphaBlend, PremultipliedSourceOverDestination) {
    MemorySurface src(2, 1), dst(2, 1);
    src.set(0, 0, 0x80400000);  // half-transparent red, premultiplied
    src.set(1, 0, 0x00000000);  // fully transparent leaves the destination
    dst.fill(0xFF0000FF);
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, blend(255, AC_SRC_ALPHA)));
    // 0x40 + 0 ; blue 255 * (255 - 128) / 255 = 127 ; alpha 128 + 127.
    EXPECT_EQ(dst.at(0, 0), 0xFF40007Fu);
    EXPECT_EQ(dst.at(1, 0), 0xFF0000FFu);
}

TEST(AlphaBlend, ConstantAlphaScalesTheSourceFirst) {
    MemorySurface src(1, 1), dst(1, 1), opaque(1, 1);
    src.set(0, 0, 0xFFFF8000);
    dst.fill(0xFF000000);
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(128, AC_SRC_ALPHA)));
    // src * 128/255: FF -> 80, 80 -> 40; destination keeps 127/255.
    EXPECT_EQ(dst.at(0, 0), 0xFF804000u);
    // Without per-pixel alpha the source counts as opaque at the constant alpha.
    opaque.fill(0x000000FF);
    ASSERT_TRUE(AlphaBlend(opaque.dc, 0, 0, 1, 1, src.dc, 0, 0, 1, 1, blend(128, 0)));
    EXPECT_EQ(opaque.at(0, 0), 0x8080407Fu);
}

TEST(AlphaBlend, RejectsBadSourceRectanglesAndOverlapsInOneDc) {
    MemorySurface src(4, 4), dst(8, 8);
    BLENDFUNCTION bf = blend(255, AC_SRC_ALPHA);
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 4, 4, src.dc, 1, 0, 4, 4, bf));   // past the right edge
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 4, 4, src.dc, -1, 0, 2, 2, bf));  // before the left edge
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, -4, 4, src.dc, 0, 0, 4, 4, bf));
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 4, 4, dst.dc, 2, 2, 4, 4, bf));  // overlapping, same DC
    EXPECT_TRUE(AlphaBlend(dst.dc, 0, 0, 4, 4, dst.dc, 4, 4, 4, 4, bf));   // apart, same DC
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 4, 4, BLENDFUNCTION{1, 0, 255, AC_SRC_ALPHA}));
}

TEST(GdiObjects, SelectedBitmapCannotBeDeletedOrSelectedTwice) {
    MemorySurface s(2, 2);
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(DeleteObject(s.bitmap));
    EXPECT_EQ(SelectObject(other, s.bitmap), nullptr);
    SelectObject(s.dc, s.previous);
    EXPECT_NE(SelectObject(other, s.bitmap), nullptr);
    DeleteDC(other);  // deleting the DC frees the selection
    EXPECT_TRUE(DeleteObject(s.bitmap));
    EXPECT_FALSE(DeleteObject(s.bitmap));  // stale now
    s.bitmap = nullptr;
}

TEST(GdiObjects, PatternBrushTilesFromTheDcOrigin) {
    MemorySurface tile(2, 2), dst(6, 6);
    paintPattern(tile, 2, 2);
    HBRUSH brush = CreatePatternBrush(tile.bitmap);
    RECT r{1, 3, 5, 6};
    ASSERT_TRUE(FillRect(dst.dc, &r, brush));
    for (int y = 3; y < 6; ++y)
        for (int x = 1; x < 5; ++x) EXPECT_EQ(dst.at(x, y), patternPixel(x % 2, y % 2)) << x << "," << y;
    EXPECT_EQ(dst.at(0, 3), 0u);
    EXPECT_EQ(dst.at(5, 5), 0u);
    DeleteObject(brush);
}

TEST(Regions, RoundRectHasRoundedCornersAndExclusiveEdges) {
    HRGN rgn = CreateRoundRectRgn(10, 15, 171, 70, 5, 5);
    RECT box;
    EXPECT_EQ(GetRgnBox(rgn, &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 15);
    EXPECT_EQ(box.right, 171);
    EXPECT_EQ(box.bottom, 70);
    EXPECT_FALSE(PtInRegion(rgn, 10, 15));  // the corner pixel is cut
    EXPECT_FALSE(PtInRegion(rgn, 170, 69));
    EXPECT_TRUE(PtInRegion(rgn, 11, 15));
    EXPECT_TRUE(PtInRegion(rgn, 10, 16));
    EXPECT_TRUE(PtInRegion(rgn, 169, 69));
    EXPECT_TRUE(PtInRegion(rgn, 170, 40));
    EXPECT_FALSE(PtInRegion(rgn, 171, 40));  // right edge excluded
    EXPECT_FALSE(PtInRegion(rgn, 90, 70));   // bottom edge excluded
    // Symmetric left to right and top to bottom.
    for (int y = 15; y < 70; ++y)
        for (int dx = 0; dx < 4; ++dx)
            EXPECT_EQ(PtInRegion(rgn, 10 + dx, y), PtInRegion(rgn, 170 - dx, 84 - y)) << dx << "," << y;
    DeleteObject(rgn);
    EXPECT_FALSE(PtInRegion(rgn, 50, 50));
    EXPECT_EQ(GetRgnBox(rgn, &box), ERROR);
}

TEST(Regions, TinyEllipseGivesAPlainRectangle) {
    HRGN rgn = CreateRoundRectRgn(0, 0, 4, 3, 1, 1);
    RECT box;
    EXPECT_EQ(GetRgnBox(rgn, &box), SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(rgn, 0, 0));
    DeleteObject(rgn);
}

}  // namespace
