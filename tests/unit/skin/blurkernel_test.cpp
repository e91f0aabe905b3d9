#include "skin/ot_blurkernel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "blur_reference.h"

namespace {

void Blur(const OstBlurKernel& kernel, Image& image) {
    Gdiplus::BitmapData data = image.Lock();
    kernel.Apply(&data);
}

TEST(BlurKernel, WeightsMatchTheCheckValuesAndAreExactlySymmetric) {
    OstBlurKernel kernel;
    EXPECT_NEAR(kernel.Weight(0, 0), 0.0176839, 5e-8);
    EXPECT_NEAR(kernel.Weight(3, 3), 0.0065055, 5e-8);
    double sum = 0;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            sum += kernel.Weight(dx, dy);
            EXPECT_EQ(kernel.Weight(dx, dy), kernel.Weight(-dx, dy));
            EXPECT_EQ(kernel.Weight(dx, dy), kernel.Weight(dx, -dy));
            EXPECT_EQ(kernel.Weight(dx, dy), kernel.Weight(dy, dx));
        }
    EXPECT_NEAR(sum, 0.5758514, 5e-8);
    // Falls off with distance along both axes.
    EXPECT_GT(kernel.Weight(0, 0), kernel.Weight(1, 0));
    EXPECT_GT(kernel.Weight(1, 0), kernel.Weight(1, 1));
    EXPECT_GT(kernel.Weight(2, 3), kernel.Weight(3, 3));
}

TEST(BlurKernel, GlowFillInsideAShapeKeepsItsShareOfEachChannel) {
    OstBlurKernel kernel;
    Image image(9, 9, 0xFFCCFF99);
    Blur(kernel, image);
    EXPECT_EQ(image.at(4, 4), 0x92759258u);
    EXPECT_EQ(image.at(3, 3), 0x92759258u);
    // Memory order is blue, green, red, alpha.
    EXPECT_EQ(image.byte(4, 4, 0), 88);
    EXPECT_EQ(image.byte(4, 4, 1), 146);
    EXPECT_EQ(image.byte(4, 4, 2), 117);
    EXPECT_EQ(image.byte(4, 4, 3), 146);
}

TEST(BlurKernel, MissingNeighboursAtTheBorderDarkenWithoutRescaling) {
    OstBlurKernel kernel;
    Image image(11, 9, 0xFFFFFFFF);
    Blur(kernel, image);
    auto expectAll = [&](int x, int y, BYTE value) {
        SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(image.byte(x, y, k), value);
    };
    for (auto [x, y] : {std::pair{0, 0}, {10, 0}, {0, 8}, {10, 8}}) expectAll(x, y, 50);
    for (auto [x, y] : {std::pair{5, 0}, {5, 8}, {0, 4}, {10, 4}, {3, 0}, {7, 8}}) expectAll(x, y, 86);
    for (int y = 3; y <= 5; ++y)
        for (int x = 3; x <= 7; ++x) expectAll(x, y, 146);
    // One row or column in from the border lies in between.
    EXPECT_GT(image.byte(5, 1, 0), 86);
    EXPECT_LT(image.byte(5, 1, 0), 146);
}

TEST(BlurKernel, DegenerateImages) {
    OstBlurKernel kernel;

    Image single(1, 1, 0xFFFFFFFF);
    Blur(kernel, single);
    EXPECT_EQ(single.at(0, 0), 0x04040404u);

    Image clear(13, 6, 0);
    Blur(kernel, clear);
    for (std::uint32_t p : clear.pixels) ASSERT_EQ(p, 0u);

    // Nothing to blur: the buffer behind Scan0 is not touched.
    std::uint32_t sentinel[4] = {0xDEADBEEF, 0x01020304, 0xFFFFFFFF, 0};
    for (auto [w, h] : {std::pair{0u, 0u}, {0u, 3u}, {4u, 0u}}) {
        Gdiplus::BitmapData data{};
        data.Width = w;
        data.Height = h;
        data.Stride = static_cast<INT>(w * 4);
        data.PixelFormat = PixelFormat32bppARGB;
        data.Scan0 = sentinel;
        kernel.Apply(&data);
        EXPECT_EQ(sentinel[0], 0xDEADBEEFu);
        EXPECT_EQ(sentinel[1], 0x01020304u);
        EXPECT_EQ(sentinel[2], 0xFFFFFFFFu);
    }
}

TEST(BlurKernel, ReadsOnlyTheOriginalPixels) {
    // A single bright pixel spreads into the kernel itself; were outputs fed
    // back into later reads, pixels after the centre would come out darker.
    OstBlurKernel kernel;
    Image image(7, 7, 0);
    image.at(3, 3) = 0xFFFFFFFF;
    Blur(kernel, image);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) {
            BYTE expected = static_cast<BYTE>(static_cast<int>(255 * kernel.Weight(3 - x, 3 - y)));
            for (int k = 0; k < 4; ++k) ASSERT_EQ(image.byte(x, y, k), expected) << x << "," << y;
        }
}

TEST(BlurKernel, SameBytesAsTheDirectSumOnSparseAndDenseImages) {
    OstBlurKernel kernel;
    std::mt19937 rng(7);
    // Widths on both sides of the pixels summed side by side, and the sizes
    // the skin blurs.
    const int sizes[][2] = {{37, 23}, {1, 1}, {2, 9},    {3, 3},   {4, 5},    {5, 2},
                            {8, 8},   {9, 1}, {520, 50}, {55, 30}, {235, 80}, {180, 25}};
    for (const auto& size : sizes) {
        for (int zeroPercent : {0, 60, 95, 100}) {
            Image image(size[0], size[1]);
            for (auto& p : image.pixels) p = (static_cast<int>(rng() % 100) < zeroPercent) ? 0u : rng();
            std::vector<std::uint32_t> expected = ReferenceBlur(kernel, image);
            Blur(kernel, image);
            EXPECT_EQ(image.pixels, expected) << size[0] << "x" << size[1] << ", " << zeroPercent << "% zero";
        }
    }
}

// The glow as the painters leave it: a filled shape on transparent white
// (no zero anywhere) or on transparent black, with an isolated lit pixel
// far from it so that lit and unlit stretches alternate along a row.
TEST(BlurKernel, SameBytesAsTheDirectSumOnGlowShapes) {
    OstBlurKernel kernel;
    for (std::uint32_t background : {0x00FFFFFFu, 0u}) {
        Image image(131, 40, background);
        for (int y = 10; y < 30; ++y)
            for (int x = 12; x < 100; ++x) image.at(x, y) = 0xFFCCFF99;
        image.at(120, 5) = 0x80402010;
        std::vector<std::uint32_t> expected = ReferenceBlur(kernel, image);
        Blur(kernel, image);
        EXPECT_EQ(image.pixels, expected) << std::hex << background;
    }
}

TEST(BlurKernel, PaddedRowsLeaveThePaddingAlone) {
    OstBlurKernel kernel;
    Image packed(5, 4);
    std::mt19937 rng(3);
    for (auto& p : packed.pixels) p = rng();
    // Same pixels, each row followed by two padding pixels.
    std::vector<std::uint32_t> padded(7 * 4, 0xA5A5A5A5);
    for (int y = 0; y < 4; ++y) std::memcpy(&padded[y * 7], &packed.at(0, y), 5 * 4);
    Gdiplus::BitmapData data{};
    data.Width = 5;
    data.Height = 4;
    data.Stride = 7 * 4;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = padded.data();
    kernel.Apply(&data);
    Blur(kernel, packed);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(padded[y * 7 + x], packed.at(x, y));
        EXPECT_EQ(padded[y * 7 + 5], 0xA5A5A5A5u);
        EXPECT_EQ(padded[y * 7 + 6], 0xA5A5A5A5u);
    }
}

}  // namespace
