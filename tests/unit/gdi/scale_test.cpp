// Drawing at a display scale: callers speak window pixels, bitmaps hold
// device pixels, and what is drawn lands on the device grid.
#include <gtest/gtest.h>

#include <memory>

#include "platform/win32/gdi.h"
#include "platform/win32/gdiplus.h"
#include "platform/win32/internal/backend.h"
#include "platform/win32/internal/gdi_objects.h"
#include "platform/win32/internal/gdiplus_internal.h"
#include "support/memory_surface.h"

namespace {

// A display with nothing but a scale.
class ScaledDisplay : public win32::Backend {
public:
    explicit ScaledDisplay(double scale) : m_scale(scale) { win32::installBackend(this); }
    ~ScaledDisplay() override { win32::installBackend(nullptr); }
    win32::NativeWindow createWindow(const win32::NativeWindowDesc&) override { return 0; }
    void destroyWindow(win32::NativeWindow) override {}
    void setVisible(win32::NativeWindow, bool) override {}
    void present(win32::NativeWindow, const win32::PixelView&, const RECT&) override {}
    double scale() override { return m_scale; }
    double m_scale;
};

std::shared_ptr<win32::BitmapObject> bitmapOf(const MemorySurface& s) { return win32::findBitmap(s.bitmap); }

std::uint32_t patternPixel(int x, int y) { return 0xFF000000u | (static_cast<std::uint32_t>(y) << 8) | x; }

TEST(Scale, BitmapsAreAskedForInWindowPixelsAndHoldDevicePixels) {
    struct Case {
        double scale;
        int width, height;
    } cases[] = {{1, 55, 30}, {1.25, 69, 38}, {1.5, 83, 45}, {2, 110, 60}, {3, 165, 90}};
    for (const Case& c : cases) {
        ScaledDisplay display(c.scale);
        MemorySurface s(55, 30);
        EXPECT_EQ(bitmapOf(s)->width, c.width) << c.scale;
        EXPECT_EQ(bitmapOf(s)->height, c.height) << c.scale;
        EXPECT_EQ(bitmapOf(s)->logicalWidth, 55) << c.scale;
        Gdiplus::Bitmap image(55, 30, PixelFormat32bppARGB);
        EXPECT_EQ(image.GetWidth(), 55u) << c.scale;
        EXPECT_EQ(image.GetHeight(), 30u) << c.scale;
    }
}

TEST(Scale, CopiesBetweenBitmapsOfOneScaleAreDevicePixelForPixel) {
    ScaledDisplay display(2);
    MemorySurface src(4, 2), dst(6, 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) src.set(x, y, patternPixel(x, y));
    ASSERT_TRUE(BitBlt(dst.dc, 1, 0, 3, 2, src.dc, 1, 0, SRCCOPY));
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(dst.at(1, y), 0u);
        for (int x = 2; x < 8; ++x) EXPECT_EQ(dst.at(x, y), patternPixel(x, y)) << x << "," << y;
        EXPECT_EQ(dst.at(8, y), 0u);
    }
    // A negative source width mirrors device columns exactly.
    MemorySurface mirrored(4, 2);
    ASSERT_TRUE(StretchBlt(mirrored.dc, 0, 0, 4, 2, src.dc, 4, 0, -4, 2, SRCCOPY));
    for (int x = 0; x < 8; ++x) EXPECT_EQ(mirrored.at(x, 3), patternPixel(7 - x, 3)) << x;
    // The source's bounds are checked in window pixels.
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    EXPECT_TRUE(AlphaBlend(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 4, 2, blend));
    EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 5, 2, src.dc, 0, 0, 5, 2, blend));
}

TEST(Scale, APictureAtAnotherScaleIsStretchedSmoothlyToWhereItIsPut) {
    auto oneToOne = std::make_unique<ScaledDisplay>(1);
    MemorySurface picture(2, 1);
    picture.set(0, 0, 0xFF0000FF);
    picture.set(1, 0, 0xFF00FF00);
    oneToOne.reset();
    ScaledDisplay display(2);
    MemorySurface dst(3, 1);
    ASSERT_TRUE(BitBlt(dst.dc, 1, 0, 2, 1, picture.dc, 0, 0, SRCCOPY));
    auto blue = [](std::uint32_t p) { return p & 0xFF; };
    auto green = [](std::uint32_t p) { return (p >> 8) & 0xFF; };
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(dst.at(1, y), 0u);
        EXPECT_EQ(dst.at(2, y), 0xFF0000FFu);
        // Between the two pixels' centres the colours blend, each side
        // leaning to its own pixel; nothing is repeated or dropped.
        EXPECT_GT(blue(dst.at(3, y)), green(dst.at(3, y)));
        EXPECT_GT(green(dst.at(3, y)), 0u);
        EXPECT_GT(green(dst.at(4, y)), blue(dst.at(4, y)));
        EXPECT_GT(blue(dst.at(4, y)), 0u);
        EXPECT_EQ(dst.at(5, y), 0xFF00FF00u);
    }
    // Nothing is written where the source rectangle leaves its bitmap.
    MemorySurface beyond(4, 1);
    beyond.fill(0x11111111);
    ASSERT_TRUE(BitBlt(beyond.dc, 0, 0, 4, 1, picture.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(beyond.at(3, 1), 0xFF00FF00u);
    EXPECT_EQ(beyond.at(4, 0), 0x11111111u);
    EXPECT_EQ(beyond.at(7, 1), 0x11111111u);
}

TEST(Scale, FillsLandOnTheDeviceGridAndClipsAreInWindowPixels) {
    ScaledDisplay display(1.5);
    MemorySurface s(10, 10);
    RECT r{1, 1, 3, 2};  // device x 2 (1.5 rounded) to 5 (4.5), y 2 to 3
    FillRect(s.dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(s.at(1, 2), 0u);
    EXPECT_EQ(s.at(2, 2), 0x00FFFFFFu);
    EXPECT_EQ(s.at(4, 2), 0x00FFFFFFu);
    EXPECT_EQ(s.at(5, 2), 0u);
    EXPECT_EQ(s.at(2, 3), 0u);

    // A window DC's clip is in window pixels too.
    ScaledDisplay two(2);
    auto surface = std::make_shared<win32::BitmapObject>(4, 4, 2.0);
    cairo_rectangle_int_t clip{1, 1, 2, 2};
    HDC window = win32::createWindowDc(nullptr, surface, cairo_region_create_rectangle(&clip));
    RECT all{0, 0, 4, 4};
    FillRect(window, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    cairo_surface_flush(surface->surface());
    EXPECT_EQ(surface->row(1)[1], 0u);
    EXPECT_EQ(surface->row(2)[2], 0x00FFFFFFu);
    EXPECT_EQ(surface->row(5)[5], 0x00FFFFFFu);
    EXPECT_EQ(surface->row(6)[6], 0u);
    DeleteDC(window);
}

TEST(Scale, APatternBrushTilesEveryTilesWindowPixels) {
    ScaledDisplay display(2);
    MemorySurface tile(1, 2), s(1, 6);
    for (int x = 0; x < 2; ++x) {
        tile.set(x, 0, 0xFF0000FF);
        tile.set(x, 1, 0xFF0000FF);
        tile.set(x, 2, 0xFF00FF00);
        tile.set(x, 3, 0xFF00FF00);
    }
    HBRUSH brush = CreatePatternBrush(tile.bitmap);
    RECT r{0, 0, 1, 6};
    FillRect(s.dc, &r, brush);
    DeleteObject(brush);
    for (int y = 0; y < 12; ++y) EXPECT_EQ(s.at(1, y), (y / 2) % 2 ? 0xFF00FF00u : 0xFF0000FFu) << y;
}

// Coverage across a vertical edge at window x 2.25: device x 4.5 at scale 2.
std::vector<std::uint32_t> edgeRow(double scale) {
    ScaledDisplay display(scale);
    MemorySurface s(8, 2);
    Gdiplus::Graphics g(s.dc);
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
    g.FillRectangle(&white, 2.25f, 0.0f, 4.0f, 2.0f);
    std::vector<std::uint32_t> alpha;
    for (int x = 0; x < bitmapOf(s)->width; ++x) alpha.push_back(s.at(x, 1) >> 24);
    return alpha;
}

TEST(Scale, AntialiasedEdgesAreOneDevicePixelWide) {
    EXPECT_EQ(edgeRow(1), (std::vector<std::uint32_t>{0, 0, 192, 255, 255, 255, 64, 0}));
    EXPECT_EQ(edgeRow(2),
              (std::vector<std::uint32_t>{0, 0, 0, 0, 128, 255, 255, 255, 255, 255, 255, 255, 128, 0, 0, 0}));
}

TEST(Scale, AClipFromAPathIsTheDevicePixelCentresInside) {
    ScaledDisplay display(2);
    Gdiplus::Bitmap image(4, 4, PixelFormat32bppARGB);
    Gdiplus::Graphics g(&image);
    Gdiplus::GraphicsPath path;
    path.AddRectangle(Gdiplus::RectF(0.5f, 0.5f, 2.0f, 2.0f));  // device 1 to 5
    g.SetClip(&path, Gdiplus::CombineModeReplace);
    g.Clear(Gdiplus::Color(0xFFFF0000));
    Gdiplus::BitmapData data;
    Gdiplus::Rect whole(0, 0, 4, 4);
    // Read back through a scale-1 lock's view: each window pixel the mean of
    // its four device pixels.
    ASSERT_EQ(image.LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data), Gdiplus::Ok);
    EXPECT_EQ(data.Width, 4u);
    EXPECT_EQ(data.Stride, 16);
    auto at = [&](int x, int y) { return static_cast<const std::uint32_t*>(data.Scan0)[y * 4 + x]; };
    EXPECT_EQ(at(0, 0), 0x40400000u);  // one of four device pixels
    EXPECT_EQ(at(1, 1), 0xFFFF0000u);
    EXPECT_EQ(at(1, 0), 0x80800000u);  // two of four
    EXPECT_EQ(at(2, 0), 0x40400000u);
    EXPECT_EQ(at(3, 3), 0u);
    image.UnlockBits(&data);
}

TEST(Scale, LockedBitsWrittenInWindowPixelsAreSpreadSmoothlyAndKeepTheirExtent) {
    ScaledDisplay display(2);
    Gdiplus::Bitmap image(4, 1, PixelFormat32bppARGB);
    Gdiplus::BitmapData data;
    ASSERT_EQ(image.LockBits(nullptr, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data), Gdiplus::Ok);
    auto* row = static_cast<std::uint32_t*>(data.Scan0);
    row[0] = 0x00FFFFFF;  // see-through white, as a cleared glow layer
    row[1] = 0x80FFFFFF;
    row[2] = 0xFFFFFFFF;
    row[3] = 0xFFFFFFFF;
    ASSERT_EQ(image.UnlockBits(&data), Gdiplus::Ok);
    // Straight bytes on device pixels: the alpha ramps between window-pixel
    // centres, and none leaks into the window pixel that had none.
    auto device = [&](int x) { return win32::GdipAccess::image(image)->pixels[static_cast<std::size_t>(x)]; };
    EXPECT_EQ(device(0) >> 24, 0u);
    EXPECT_EQ(device(1) >> 24, 0u);
    EXPECT_EQ(device(2) >> 24, 0x60u);  // 3/4 of 0x80, 1/4 of nothing
    EXPECT_EQ(device(3) >> 24, 0x80u + (0x7Fu * 1 + 2) / 4);
    EXPECT_EQ(device(7) >> 24, 0xFFu);
}

}  // namespace
