#include "skin/ot_skin.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/ot_layout.h"
#include "pixels.h"
#include "platform/win32/gdi.h"

namespace {

struct Gdiplus_ {
    Gdiplus_() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    ~Gdiplus_() { Gdiplus::GdiplusShutdown(token); }
    ULONG_PTR token = 0;
};

// Builds the skin once for the whole suite: every image is painted only once
// in the program too.
class SkinTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        gdiplus = new Gdiplus_();
        skin = new OstSkin();
        skin->Build(NULL);
    }
    static void TearDownTestSuite() {
        delete skin;
        skin = nullptr;
        delete gdiplus;
        gdiplus = nullptr;
    }
    static Gdiplus_* gdiplus;
    static OstSkin* skin;
};

Gdiplus_* SkinTest::gdiplus = nullptr;
OstSkin* SkinTest::skin = nullptr;

struct ImageCase {
    const char* name;
    HBITMAP OstSkin::*member;
    int width;
    int height;
    // Everything the shape, its anti-aliasing and its 3-pixel halo may reach;
    // right and bottom are outside.
    RECT reach;
};

const ImageCase kImages[] = {
    {"panel", &OstSkin::m_bmPanel, 520, 50, {6, 6, 514, 44}},
    {"stop", &OstSkin::m_bmStop, 55, 30, {17, 3, 38, 24}},
    {"prev", &OstSkin::m_bmPrev, 55, 30, {13, 2, 39, 25}},
    {"next", &OstSkin::m_bmNext, 55, 30, {16, 2, 42, 25}},
    {"volume", &OstSkin::m_bmVolume, 55, 30, {16, 1, 38, 26}},
    {"play", &OstSkin::m_bmPlay, 55, 30, {18, 2, 38, 25}},
    {"pause", &OstSkin::m_bmPause, 55, 30, {17, 2, 38, 25}},
    {"bubble", &OstSkin::m_bmBubble, 235, 80, {1, 1, 234, 74}},
    {"menu middle", &OstSkin::m_bmMenuMiddle, 180, 5, {6, 0, 174, 5}},
    {"menu bottom", &OstSkin::m_bmMenuBottom, 180, 10, {6, 0, 174, 7}},  // frame rows 15-21
    {"menu top", &OstSkin::m_bmMenuTop, 180, 10, {6, 0, 174, 10}},
    {"close", &OstSkin::m_bmClose, 7, 7, {0, 0, 7, 7}},
    {"minimize", &OstSkin::m_bmMinimize, 7, 7, {0, 0, 7, 7}},
};

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

TEST(Skin, FreshSkinHasNoImagesAndReleasesNothing) {
    OstSkin skin;
    ASSERT_NE(skin.m_pKernel, nullptr);
    for (const ImageCase& image : kImages) EXPECT_EQ(skin.*image.member, nullptr) << image.name;
    skin.ReleaseAll();
    skin.ReleaseAll();
    skin.ReleaseStaticImages();
    for (const ImageCase& image : kImages) EXPECT_EQ(skin.*image.member, nullptr) << image.name;
}

TEST_F(SkinTest, EveryImageHasItsSizeAndIsBlackWhereNothingReached) {
    for (const ImageCase& image : kImages) {
        SCOPED_TRACE(image.name);
        Pixels pixels = ReadPixels(skin->*image.member);
        ASSERT_EQ(pixels.width, image.width);
        ASSERT_EQ(pixels.height, image.height);
        int painted = 0;
        for (int y = 0; y < pixels.height; ++y)
            for (int x = 0; x < pixels.width; ++x) {
                std::uint32_t p = pixels.at(x, y);
                if (p) ++painted;
                if (!Inside(image.reach, x, y)) {
                    ASSERT_EQ(p, 0u) << x << "," << y;
                }
                // Premultiplied: no colour brighter than its alpha.
                ASSERT_LE(Pixels::red(p), Pixels::alpha(p)) << x << "," << y;
                ASSERT_LE(Pixels::green(p), Pixels::alpha(p)) << x << "," << y;
                ASSERT_LE(Pixels::blue(p), Pixels::alpha(p)) << x << "," << y;
            }
        EXPECT_GT(painted, 0);
    }
}

TEST_F(SkinTest, GlyphsAreSharpGlyphColourOverTheirHalo) {
    const std::uint32_t glyph = 0xFF99CCFF;
    EXPECT_EQ(ReadPixels(skin->m_bmStop).at(27, 13), glyph);
    EXPECT_EQ(ReadPixels(skin->m_bmPause).at(23, 13), glyph);
    EXPECT_EQ(ReadPixels(skin->m_bmPause).at(31, 13), glyph);
    EXPECT_EQ(ReadPixels(skin->m_bmPlay).at(25, 13), glyph);
    EXPECT_EQ(ReadPixels(skin->m_bmVolume).at(25, 13), glyph);
    // Between the pause bars lies halo, not glyph.
    std::uint32_t gap = ReadPixels(skin->m_bmPause).at(27, 13);
    EXPECT_NE(gap, 0u);
    EXPECT_LT(Pixels::alpha(gap), 255);
    // The halo is the glow colour: more green than red, more red than blue.
    std::uint32_t halo = ReadPixels(skin->m_bmStop).at(19, 13);
    EXPECT_GT(Pixels::alpha(halo), 0);
    EXPECT_GT(Pixels::green(halo), Pixels::red(halo));
    EXPECT_GT(Pixels::red(halo), Pixels::blue(halo));
}

TEST_F(SkinTest, NextIsPrevMirrored) {
    Pixels prev = ReadPixels(skin->m_bmPrev);
    Pixels next = ReadPixels(skin->m_bmNext);
    ASSERT_EQ(next.width, 55);
    ASSERT_EQ(next.height, 30);
    for (int y = 0; y < 30; ++y)
        for (int c = 0; c < 55; ++c) ASSERT_EQ(next.at(c, y), prev.at(54 - c, y)) << c << "," << y;
    // And the previous glyph is not symmetric itself, or the check would be empty.
    EXPECT_NE(prev.at(20, 13), prev.at(34, 13));
}

TEST_F(SkinTest, PanelInsideIsGlassWithoutGlowAndCarriesTheTrack) {
    Pixels panel = ReadPixels(skin->m_bmPanel);
    // Glass 0xD2FFFFFF over transparent white, premultiplied.
    for (int y = 12; y <= 35; ++y)
        for (int x = 14; x < 506; ++x) {
            std::uint32_t p = panel.at(x, y);
            ASSERT_NEAR(Pixels::alpha(p), 0xD2, 1) << x << "," << y;
            ASSERT_EQ(Pixels::red(p), Pixels::alpha(p)) << x << "," << y;
            ASSERT_EQ(Pixels::green(p), Pixels::alpha(p)) << x << "," << y;
            ASSERT_EQ(Pixels::blue(p), Pixels::alpha(p)) << x << "," << y;
        }
    for (int y = 36; y <= 39; ++y)
        for (int x = 10; x < 510; ++x) ASSERT_EQ(panel.at(x, y), 0xFF99CCFFu) << x << "," << y;
    // The halo outside the bar, above it and below it.
    EXPECT_GT(Pixels::alpha(panel.at(100, 9)), 0);
    EXPECT_GT(Pixels::alpha(panel.at(100, 40)), 0);
    EXPECT_EQ(panel.at(100, 44), 0u);
}

TEST_F(SkinTest, CloseGlyphIsNotSymmetric) {
    Pixels close = ReadPixels(skin->m_bmClose);
    bool mirrorDiffers = false;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) mirrorDiffers |= close.at(x, y) != close.at(6 - x, y);
    EXPECT_TRUE(mirrorDiffers);
    // The long stroke reaches the bottom-right corner; the short one stops
    // a pixel before the top-right one.
    EXPECT_GT(Pixels::alpha(close.at(6, 6)), Pixels::alpha(close.at(6, 0)));

    Pixels minimize = ReadPixels(skin->m_bmMinimize);
    EXPECT_EQ(minimize.at(3, 1), 0u);
    EXPECT_EQ(Pixels::alpha(minimize.at(3, 5)), 255);
}

TEST_F(SkinTest, BubbleTipPointsDownAtItsAnchor) {
    Pixels bubble = ReadPixels(skin->m_bmBubble);
    EXPECT_GT(Pixels::alpha(bubble.at(OstLayout::kBubbleTipX, 68)), 0);
    EXPECT_EQ(bubble.at(60, 69), 0u);
    EXPECT_EQ(bubble.at(170, 69), 0u);
    // Glass inside, over the glow: more opaque than the glass alone.
    EXPECT_GT(Pixels::alpha(bubble.at(OstLayout::kBubbleTipX, 35)), 0xD2);
}

TEST_F(SkinTest, MenuSlicesTileIntoTheFrame) {
    Pixels middle = ReadPixels(skin->m_bmMenuMiddle);
    // Between the corners, further than the halo reaches from them, every
    // row is alike, so the slice tiles without seams there.
    for (int y = 1; y < 5; ++y)
        for (int x = 16; x < 164; ++x) ASSERT_EQ(middle.at(x, y), middle.at(x, 0)) << x << "," << y;
    EXPECT_GT(Pixels::alpha(middle.at(90, 2)), 0xD2);

    // The notch rises into the top slice around x 37, above the frame's edge.
    Pixels top = ReadPixels(skin->m_bmMenuTop);
    EXPECT_GT(Pixels::alpha(top.at(37, 3)), Pixels::alpha(top.at(90, 3)));
    EXPECT_GT(Pixels::alpha(top.at(90, 7)), 0xD2);

    // The frame ends at row 18 of 25: row 2 of the bottom slice.
    Pixels bottom = ReadPixels(skin->m_bmMenuBottom);
    EXPECT_GT(Pixels::alpha(bottom.at(90, 1)), 0xD2);
    EXPECT_LT(Pixels::alpha(bottom.at(90, 4)), 0xD2);
}

// Defined last: it frees images the tests above read.
// Builds a skin of its own: releasing images would take them from the
// suite's shared skin.
TEST(Skin, ReleaseStaticImagesKeepsTheSixRunTimeImages) {
    Gdiplus_ gdiplus;
    auto owned = std::make_unique<OstSkin>();
    OstSkin* skin = owned.get();
    skin->Build(NULL);
    HBITMAP kept[] = {skin->m_bmPlay,       skin->m_bmPause,      skin->m_bmBubble,
                      skin->m_bmMenuMiddle, skin->m_bmMenuBottom, skin->m_bmMenuTop};
    HBITMAP freed[] = {skin->m_bmPanel,  skin->m_bmStop,  skin->m_bmPrev,    skin->m_bmNext,
                       skin->m_bmVolume, skin->m_bmClose, skin->m_bmMinimize};
    skin->ReleaseStaticImages();
    EXPECT_EQ(skin->m_bmPanel, nullptr);
    EXPECT_EQ(skin->m_bmStop, nullptr);
    EXPECT_EQ(skin->m_bmPrev, nullptr);
    EXPECT_EQ(skin->m_bmNext, nullptr);
    EXPECT_EQ(skin->m_bmVolume, nullptr);
    EXPECT_EQ(skin->m_bmClose, nullptr);
    EXPECT_EQ(skin->m_bmMinimize, nullptr);
    EXPECT_EQ(skin->m_bmPlay, kept[0]);
    EXPECT_EQ(skin->m_bmPause, kept[1]);
    EXPECT_EQ(skin->m_bmBubble, kept[2]);
    EXPECT_EQ(skin->m_bmMenuMiddle, kept[3]);
    EXPECT_EQ(skin->m_bmMenuBottom, kept[4]);
    EXPECT_EQ(skin->m_bmMenuTop, kept[5]);
    for (HBITMAP h : kept) EXPECT_NE(win32::findBitmap(h), nullptr);
    for (HBITMAP h : freed) EXPECT_EQ(win32::findBitmap(h), nullptr);
    EXPECT_EQ(skin->GetBubble(), skin->m_bmBubble);

    skin->ReleaseAll();
    for (HBITMAP h : kept) EXPECT_EQ(win32::findBitmap(h), nullptr);
    for (const ImageCase& image : kImages) EXPECT_EQ(skin->*image.member, nullptr) << image.name;
}

}  // namespace
