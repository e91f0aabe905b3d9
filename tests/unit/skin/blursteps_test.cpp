// Each shortcut of the blur on its own, against the direct sum.
#include "skin/ot_blursteps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "blur_reference.h"

namespace {

using namespace OstBlurSteps;

// The weights as the kernel keeps them, row by row.
std::vector<double> Weights(const OstBlurKernel& kernel) {
    std::vector<double> weights;
    for (int dy = -kRadius; dy <= kRadius; ++dy)
        for (int dx = -kRadius; dx <= kRadius; ++dx) weights.push_back(kernel.Weight(dx, dy));
    return weights;
}

// Widths on both sides of a block and of the padding, and a skin size.
const int kSizes[][2] = {{1, 1}, {3, 2}, {4, 4}, {5, 9}, {7, 7}, {9, 3}, {11, 12}, {37, 23}, {55, 30}};

// Noise over a transparent black background with two uniform patches of
// different values, so every shortcut has something to take and to refuse.
Image Mixed(int width, int height, std::mt19937& rng) {
    Image image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (x < width / 2 && y >= height / 3) image.at(x, y) = 0xFFCCFF99;
            if (x >= width / 2 && y < height / 2) image.at(x, y) = 0x80402010;
            if (rng() % 100 < 8) image.at(x, y) = rng();
        }
    return image;
}

// Isolated fully lit pixels: even the farthest neighbour's weight makes a
// non-zero byte, so a pixel is zero exactly when none is within three.
Image Sparse(int width, int height, std::mt19937& rng) {
    Image image(width, height);
    for (auto& p : image.pixels) p = rng() % 100 < 3 ? 0xFFFFFFFFu : 0u;
    return image;
}

// The ring loaded as Apply loads it, moved to row y.
struct Rows {
    explicit Rows(Image& image)
        : rows(reinterpret_cast<const BYTE*>(image.pixels.data()), image.width * 4, image.width, image.height) {
        for (int r = -kRadius; r < kRadius; ++r) rows.Load(r);
    }
    void MoveTo(int y) {
        rows.Load(y + kRadius);
        rows.Around(y, around);
    }
    OstPaddedRows rows;
    const Quad* around[kRows];
};

std::uint32_t Pack(const BYTE bytes[4]) {
    std::uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

TEST(BlurSteps, PaddedRowsGiveTheDirectSumWithoutBoundsChecks) {
    OstBlurKernel kernel;
    const std::vector<double> weights = Weights(kernel);
    std::mt19937 rng(11);
    for (const auto& size : kSizes) {
        Image image = Mixed(size[0], size[1], rng);
        const std::vector<std::uint32_t> expected = ReferenceBlur(kernel, image);
        Rows rows(image);
        ASSERT_TRUE(rows.rows.ok());
        for (int y = 0; y < image.height; ++y) {
            rows.MoveTo(y);
            for (int x = 0; x < image.width; ++x) {
                Quad acc = {};
                for (int dy = 0; dy < kRows; ++dy)
                    for (int dx = 0; dx < kRows; ++dx) acc = rows.around[dy][x + dx] * weights[dy * kRows + dx] + acc;
                BYTE bytes[4];
                StoreBytes(acc, bytes);
                ASSERT_EQ(Pack(bytes), expected[y * image.width + x])
                    << size[0] << "x" << size[1] << " at " << x << "," << y;
            }
        }
    }
}

TEST(BlurSteps, EachLaneOfABlockIsItsPixelSummedAlone) {
    OstBlurKernel kernel;
    const std::vector<double> weights = Weights(kernel);
    std::mt19937 rng(12);
    for (const auto& size : kSizes) {
        Image image = Mixed(size[0], size[1], rng);
        const std::vector<std::uint32_t> expected = ReferenceBlur(kernel, image);
        Rows rows(image);
        for (int y = 0; y < image.height; ++y) {
            rows.MoveTo(y);
            // Every start column, not only multiples of the block.
            for (int x = 0; x < image.width; ++x) {
                Quad sums[kBlock];
                SumBlock(rows.around, weights.data(), x, sums);
                for (int k = 0; k < kBlock && x + k < image.width; ++k) {
                    BYTE bytes[4];
                    StoreBytes(sums[k], bytes);
                    ASSERT_EQ(Pack(bytes), expected[y * image.width + x + k])
                        << size[0] << "x" << size[1] << " at " << x << "+" << k << "," << y;
                }
            }
        }
    }
}

TEST(BlurSteps, ABlockHasALitNeighbourExactlyWhenTheDirectSumIsNotZero) {
    OstBlurKernel kernel;
    std::mt19937 rng(13);
    for (const auto& size : kSizes) {
        for (bool sparse : {true, false}) {
            Image image = sparse ? Sparse(size[0], size[1], rng) : Mixed(size[0], size[1], rng);
            const std::vector<std::uint32_t> expected = ReferenceBlur(kernel, image);
            OstLitColumns lit(reinterpret_cast<const BYTE*>(image.pixels.data()), image.width * 4, image.width,
                              image.height);
            ASSERT_TRUE(lit.ok());
            for (int y = 0; y < image.height; ++y) {
                lit.Enter(y);
                for (int x = 0; x < image.width; ++x)
                    for (int count = 1; count <= kBlock && x + count <= image.width; ++count) {
                        bool anyNonZero = false;
                        for (int k = 0; k < count; ++k) anyNonZero |= expected[y * image.width + x + k] != 0;
                        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " at " << x << "," << y << ", "
                                                        << count << " pixels");
                        // Skipping must never drop a byte; on lone white
                        // pixels it must also skip all it can.
                        if (!lit.AnyNear(x, count)) {
                            ASSERT_FALSE(anyNonZero);
                        }
                        if (sparse) {
                            ASSERT_EQ(lit.AnyNear(x, count), anyNonZero);
                        }
                    }
            }
        }
    }
}

TEST(BlurSteps, AUniformBlockTakesTheBytesOfTheDirectSum) {
    OstBlurKernel kernel;
    const std::vector<double> weights = Weights(kernel);
    std::mt19937 rng(14);
    const std::uint32_t values[] = {0xFFCCFF99, 0x80402010, 0x00FFFFFF};
    int uniformBlocks = 0;
    for (const auto& size : {std::pair{37, 23}, {55, 30}, {131, 40}}) {
        // Stripes of three values, so the result kept changes along a row,
        // with a few stray pixels in them.
        Image image(size.first, size.second);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                image.at(x, y) = rng() % 100 < 1 ? rng() : values[(x / 13 + y / 11) % 3];
        const std::vector<std::uint32_t> expected = ReferenceBlur(kernel, image);
        OstUniformBlocks uniform(reinterpret_cast<const BYTE*>(image.pixels.data()), image.width * 4, image.width,
                                 image.height);
        ASSERT_TRUE(uniform.ok());
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                std::uint32_t value;
                if (!uniform.IsUniform(x, y, &value)) continue;
                ++uniformBlocks;
                const std::uint32_t bytes = Pack(uniform.BytesFor(value, weights.data()));
                for (int k = 0; k < kBlock; ++k)
                    ASSERT_EQ(bytes, expected[y * image.width + x + k]) << "at " << x << "+" << k << "," << y;
            }
    }
    EXPECT_GT(uniformBlocks, 100) << "the images have uniform areas";
}

TEST(BlurSteps, OnePixelAnywhereAroundABlockMakesItMixed) {
    // The block at (3, 3) and its 10 x 7 neighbours fill a 10 x 7 image.
    struct Case {
        int x, y;
        bool uniform;
    } cases[] = {{-1, -1, true}, {0, 0, false}, {9, 0, false}, {0, 6, false}, {9, 6, false},
                 {4, 3, false},  {10, 0, true}, {0, 7, true},  {9, 7, true}};
    for (const Case& c : cases) {
        Image image(11, 8, 0xFFCCFF99);
        if (c.x >= 0) image.at(c.x, c.y) = 0xFFCCFF98;
        OstUniformBlocks uniform(reinterpret_cast<const BYTE*>(image.pixels.data()), image.width * 4, image.width,
                                 image.height);
        std::uint32_t value = 0;
        EXPECT_EQ(uniform.IsUniform(3, 3, &value), c.uniform) << "changed " << c.x << "," << c.y;
        if (c.uniform) {
            EXPECT_EQ(value, 0xFFCCFF99u);
        }
    }
    // Too near the border for all neighbours to be inside.
    Image image(11, 8, 0xFFCCFF99);
    OstUniformBlocks uniform(reinterpret_cast<const BYTE*>(image.pixels.data()), image.width * 4, image.width,
                             image.height);
    std::uint32_t value;
    for (auto [x, y] : {std::pair{2, 3}, {5, 3}, {3, 2}, {3, 5}}) EXPECT_FALSE(uniform.IsUniform(x, y, &value)) << x;
}

}  // namespace
