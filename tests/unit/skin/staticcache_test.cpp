#include "skin/ot_staticcache.h"

#include <gtest/gtest.h>

#include <string>

#include "pixels.h"
#include "platform/win32/gdi.h"
#include "platform/win32/user.h"
#include "support/memory_surface.h"

namespace {

void Fill(HDC hdc, int left, int top, int right, int bottom, COLORREF color) {
    RECT rect{left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, &rect, brush);
    DeleteObject(brush);
}

TEST(StaticCache, DrawCopiesExactlyTheCacheAtItsPosition) {
    OstStaticCache cache;
    ASSERT_TRUE(cache.Create(NULL, 6, 4));
    HDC hdc = cache.BeginDC(NULL);
    ASSERT_NE(hdc, nullptr);
    Fill(hdc, 0, 0, 6, 4, RGB(10, 20, 30));
    Fill(hdc, 1, 1, 3, 2, RGB(0, 0, 0));  // see-through pixels are copied too
    cache.EndDC();

    MemorySurface back(10, 20);
    Fill(back.dc, 0, 0, 10, 20, RGB(200, 200, 200));
    cache.Draw(back.dc, 0, 11);

    Pixels pixels = ReadPixels(back.bitmap);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x) {
            std::uint32_t expected = 0xC8C8C8;
            if (x < 6 && y >= 11 && y < 15) expected = (x >= 1 && x < 3 && y == 12) ? 0x000000 : 0x0A141E;
            ASSERT_EQ(pixels.at(x, y) & 0xFFFFFF, expected) << x << "," << y;
        }
}

TEST(StaticCache, ContentSurvivesRepeatedDraws) {
    OstStaticCache cache;
    cache.Create(NULL, 3, 3);
    Fill(cache.BeginDC(NULL), 0, 0, 3, 3, RGB(1, 2, 3));
    cache.EndDC();
    for (int i = 0; i < 3; ++i) {
        MemorySurface back(3, 3);
        cache.Draw(back.dc, 0, 0);
        Pixels pixels = ReadPixels(back.bitmap);
        for (std::uint32_t p : pixels.data) ASSERT_EQ(p & 0xFFFFFF, 0x010203u);
    }
}

TEST(StaticCache, NewCacheIsBlackAndGraphicsDrawsIntoIt) {
    OstStaticCache cache;
    cache.Create(NULL, 8, 8);
    {
        MemorySurface back(8, 8);
        Fill(back.dc, 0, 0, 8, 8, RGB(255, 255, 255));
        cache.Draw(back.dc, 0, 0);
        for (std::uint32_t p : ReadPixels(back.bitmap).data) ASSERT_EQ(p, 0u);
    }
    Gdiplus::Graphics* g = cache.BeginGraphics(NULL);
    ASSERT_NE(g, nullptr);
    Gdiplus::SolidBrush brush(Gdiplus::Color(0xFF99CCFF));
    g->FillRectangle(&brush, 2, 2, 3, 3);
    cache.EndGraphics(g);

    MemorySurface back(8, 8);
    cache.Draw(back.dc, 0, 0);
    Pixels pixels = ReadPixels(back.bitmap);
    EXPECT_EQ(pixels.at(3, 3), 0xFF99CCFFu);
    EXPECT_EQ(pixels.at(0, 0), 0u);
    EXPECT_EQ(pixels.at(5, 5), 0u);
}

TEST(StaticCache, CreateReportsSuccessEvenWithoutABitmap) {
    OstStaticCache cache;
    EXPECT_TRUE(cache.Create(NULL, 0, 0));
    // A cache never created is destroyed without releasing anything.
    OstStaticCache never;
}

TEST(StaticCache, OpeningACacheWithoutABitmapIsReported) {
    OstStaticCache cache;
    testing::internal::CaptureStderr();
    cache.BeginDC(NULL);
    cache.EndDC();
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("m_bmCache"), std::string::npos) << report;
    EXPECT_NE(report.find("ot_staticcache"), std::string::npos) << report;
}

}  // namespace
