// The tray icon at the sizes trays draw: which sizes are made, and that each
// is a true area average of the source, weighted by alpha.
#include "platform/bus/icon_sizes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

bus::ArgbImage Filled(int width, int height, std::uint32_t pixel) {
    return {width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height, pixel)};
}

std::string Sizes(const std::vector<bus::ArgbImage>& images) {
    std::string out;
    for (const auto& image : images) {
        out += std::to_string(image.width) + "x" + std::to_string(image.height) + " ";
        EXPECT_EQ(image.argb.size(), static_cast<size_t>(image.width) * image.height) << out;
    }
    return out;
}

TEST(IconSizes, EachTraySizeOnceNoneLargerThanTheSource) {
    struct Case {
        int width, height;
        const char* expected;
    } cases[] = {
        {128, 128, "16x16 22x22 24x24 32x32 48x48 64x64 128x128 "},
        {256, 256, "16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256 "},
        {100, 100, "16x16 22x22 24x24 32x32 48x48 64x64 100x100 "},
        {16, 16, "16x16 "},
        {12, 12, "12x12 "},  // smaller than every size: sent as it is
        {128, 64, "16x8 22x11 24x12 32x16 48x24 64x32 128x64 "},
        {20, 100, "3x16 4x22 5x24 6x32 10x48 13x64 20x100 "},
        {1, 64, "1x16 1x22 1x24 1x32 1x48 1x64 "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sizes(bus::iconSizes(Filled(c.width, c.height, 0xFF336699))), c.expected)
            << c.width << "x" << c.height;
    const bus::ArgbImage source = Filled(128, 128, 0x80102030);
    EXPECT_EQ(bus::iconSizes(source).back().argb, source.argb) << "the source's own size is the source";
}

TEST(IconSizes, NothingForAnImageWhosePixelsDoNotMatchItsSize) {
    const bus::ArgbImage bad[] = {{0, 0, {}}, {2, 2, {1, 2, 3}}, {-1, -1, {1}}, {16, 0, {}}};
    for (const auto& image : bad) {
        EXPECT_TRUE(bus::iconSizes(image).empty()) << image.width << "x" << image.height;
        EXPECT_TRUE(bus::downscale(image, 1).argb.empty()) << image.width << "x" << image.height;
    }
    EXPECT_TRUE(bus::downscale(Filled(8, 8, 0xFFFFFFFF), 0).argb.empty());
    EXPECT_TRUE(bus::downscale(Filled(8, 8, 0xFFFFFFFF), 9).argb.empty()) << "never enlarged";
}

TEST(Downscale, AveragesTheAreaEachPixelCovers) {
    struct Case {
        const char* what;
        bus::ArgbImage source;
        int side;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        {"a checkerboard turns grey", {2, 2, {0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000}}, 1, {0xFF808080}},
        {"a third of a pixel at the seam", {3, 1, {0xFF000000, 0xFF5A5A5A, 0xFFB4B4B4}}, 2, {0xFF1E1E1E, 0xFF969696}},
        // A clear pixel's colour is no colour: straight averaging would
        // tint the red with the invisible green.
        {"clear pixels lend no colour", {2, 1, {0xFFFF0000, 0x0000FF00}}, 1, {0x80FF0000}},
        {"alpha weights the colours", {2, 1, {0xFFFF0000, 0x400000FF}}, 1, {0xA0CC0033}},
        {"all clear stays clear", {4, 4, std::vector<std::uint32_t>(16, 0x00FFFFFF)}, 2, {0, 0, 0, 0}},
        {"the full size is a copy", {2, 1, {0x12345678, 0x9ABCDEF0}}, 2, {0x12345678, 0x9ABCDEF0}},
    };
    for (const Case& c : cases) EXPECT_EQ(bus::downscale(c.source, c.side).argb, c.expected) << c.what;
}

TEST(Downscale, KeepsAFlatColourAndOpacityAtEverySize) {
    for (std::uint32_t colour : {0xFF336699u, 0x80C08040u, 0x01FFFFFFu}) {
        for (const auto& image : bus::iconSizes(Filled(128, 128, colour))) {
            for (std::uint32_t p : image.argb) {
                ASSERT_EQ(p, colour) << std::hex << colour << std::dec << " at " << image.width << "x" << image.height;
            }
        }
    }
}

TEST(Downscale, WholeBlocksAreTheirMean) {
    // 128 to 32: each pixel is exactly the mean of a 4x4 block.
    std::mt19937 random(7);
    bus::ArgbImage source{128, 128, {}};
    for (int i = 0; i < 128 * 128; ++i) source.argb.push_back(0xFF000000u | (random() & 0xFFFFFF));
    const bus::ArgbImage small = bus::downscale(source, 32);
    ASSERT_EQ(small.argb.size(), 32u * 32u);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            for (int shift : {0, 8, 16}) {
                int sum = 0;
                for (int dy = 0; dy < 4; ++dy)
                    for (int dx = 0; dx < 4; ++dx)
                        sum += (source.argb[static_cast<size_t>((y * 4 + dy) * 128 + x * 4 + dx)] >> shift) & 0xFF;
                const int got = (small.argb[static_cast<size_t>(y * 32 + x)] >> shift) & 0xFF;
                ASSERT_NEAR(got, sum / 16.0, 0.5) << x << "," << y << " shift " << shift;
            }
            ASSERT_EQ(small.argb[static_cast<size_t>(y * 32 + x)] >> 24, 0xFFu) << "an opaque source stays opaque";
        }
    }
}

}  // namespace
