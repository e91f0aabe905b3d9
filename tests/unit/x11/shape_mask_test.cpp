#include "platform/x11/shape_mask.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// BGRA words as the core stores them: 0xAARRGGBB.
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr COLORREF kBlackKey = 0x000000;

x11::ShapeMask maskOf(const std::vector<std::uint32_t>& pixels, int width, int height, COLORREF key,
                      int stridePixels = 0) {
    if (!stridePixels) stridePixels = width;
    return x11::buildShapeMask({pixels.data(), width, height, stridePixels * 4}, key);
}

}  // namespace

TEST(ShapeMask, KeyPixelsAreCleared) {
    // 10 wide: the second byte of each row holds two pixels and six spare bits.
    std::vector<std::uint32_t> pixels(10 * 2, kBlack);
    pixels[0] = kWhite;
    pixels[7] = 0x00010000;  // red 1, alpha 0: differs from the key by colour, alpha is ignored
    pixels[8] = 0x80000000;  // black with other alpha: still the key
    pixels[10 + 9] = 0xFF000001;
    x11::ShapeMask mask = maskOf(pixels, 10, 2, kBlackKey);
    ASSERT_EQ(mask.bytesPerRow(), 2);
    ASSERT_EQ(mask.bits.size(), 4u);
    EXPECT_EQ(mask.bits[0], 0x81);
    EXPECT_EQ(mask.bits[1], 0x00);
    EXPECT_EQ(mask.bits[2], 0x00);
    EXPECT_EQ(mask.bits[3], 0x02);
    EXPECT_TRUE(mask.opaqueAt(0, 0));
    EXPECT_FALSE(mask.opaqueAt(8, 0));
    EXPECT_TRUE(mask.opaqueAt(9, 1));
}

TEST(ShapeMask, AllKeyIsFullyTransparent) {
    std::vector<std::uint32_t> pixels(17 * 3, kBlack);
    x11::ShapeMask mask = maskOf(pixels, 17, 3, kBlackKey);
    EXPECT_EQ(mask.bits, std::vector<std::uint8_t>(3 * 3, 0));
}

TEST(ShapeMask, KeyByteOrderAndStride) {
    // COLORREF 0x00BBGGRR against pixel 0xAARRGGBB; rows padded to 4 pixels.
    const COLORREF key = 0x00332211;  // R 0x11, G 0x22, B 0x33
    const std::uint32_t keyPixel = 0xFF112233;
    const std::uint32_t swapped = 0xFF332211;
    std::vector<std::uint32_t> pixels = {keyPixel, swapped,  0xDEADBEEF, 0xDEADBEEF,
                                         swapped,  keyPixel, 0xDEADBEEF, 0xDEADBEEF};
    x11::ShapeMask mask = maskOf(pixels, 2, 2, key, 4);
    EXPECT_EQ(mask.bits, (std::vector<std::uint8_t>{0x02, 0x01}));
}

TEST(ShapeMask, EqualityTracksChanges) {
    std::vector<std::uint32_t> pixels(8 * 8, kBlack);
    x11::ShapeMask before = maskOf(pixels, 8, 8, kBlackKey);
    pixels[3 * 8 + 4] = 0xFF202020;
    x11::ShapeMask after = maskOf(pixels, 8, 8, kBlackKey);
    EXPECT_NE(before, after);
    pixels[3 * 8 + 4] = 0xFF404040;  // another colour, same coverage
    EXPECT_EQ(after, maskOf(pixels, 8, 8, kBlackKey));
}

TEST(ShapeMask, EmptySurface) {
    EXPECT_TRUE(x11::buildShapeMask({nullptr, 4, 4, 16}, kBlackKey).bits.empty());
    std::vector<std::uint32_t> one(1, kWhite);
    EXPECT_TRUE(x11::buildShapeMask({one.data(), 0, 1, 4}, kBlackKey).bits.empty());
}

TEST(ShapeMask, RowUpdateTouchesOnlyItsRows) {
    // 11 wide so the last byte of a row is partial.
    std::vector<std::uint32_t> pixels(11 * 6, kBlack);
    x11::ShapeMask mask = maskOf(pixels, 11, 6, kBlackKey);
    pixels[1 * 11 + 10] = kWhite;  // outside the updated rows: must stay unseen
    pixels[3 * 11 + 0] = kWhite;
    pixels[4 * 11 + 9] = 0xFF000100;
    x11::ShapeMask stale = mask;
    EXPECT_TRUE(x11::updateShapeMaskRows(mask, {pixels.data(), 11, 6, 11 * 4}, kBlackKey, 3, 5));
    EXPECT_FALSE(mask.opaqueAt(10, 1));
    EXPECT_TRUE(mask.opaqueAt(0, 3));
    EXPECT_TRUE(mask.opaqueAt(9, 4));
    EXPECT_EQ(mask.bits[3 * 2 + 1], 0x00);
    EXPECT_EQ(mask.bits[4 * 2 + 1], 0x02);
    pixels[1 * 11 + 10] = kBlack;
    EXPECT_EQ(mask, maskOf(pixels, 11, 6, kBlackKey));
    EXPECT_NE(mask, stale);
}

TEST(ShapeMask, RowUpdateReportsNoChangeForSameCoverage) {
    std::vector<std::uint32_t> pixels(16 * 4, kBlack);
    pixels[2 * 16 + 5] = kWhite;
    x11::ShapeMask mask = maskOf(pixels, 16, 4, kBlackKey);
    pixels[2 * 16 + 5] = 0xFF102030;  // another colour, still not the key
    EXPECT_FALSE(x11::updateShapeMaskRows(mask, {pixels.data(), 16, 4, 16 * 4}, kBlackKey, 0, 4));
    pixels[2 * 16 + 5] = kBlack;
    EXPECT_TRUE(x11::updateShapeMaskRows(mask, {pixels.data(), 16, 4, 16 * 4}, kBlackKey, 2, 3));
    EXPECT_EQ(mask.bits, std::vector<std::uint8_t>(2 * 4, 0));
    // Rows past the edges are clipped; a surface of another size changes nothing.
    EXPECT_FALSE(x11::updateShapeMaskRows(mask, {pixels.data(), 16, 4, 16 * 4}, kBlackKey, -3, 99));
    pixels[0] = kWhite;
    EXPECT_FALSE(x11::updateShapeMaskRows(mask, {pixels.data(), 16, 3, 16 * 4}, kBlackKey, 0, 3));
    EXPECT_FALSE(mask.opaqueAt(0, 0));
}

TEST(ShapeMask, OpaqueBoundsHoldEveryShownPixel) {
    // Opaque pixels as (x, y) on a 19 x 5 surface: 19 wide so rows end in a
    // partial byte, and pixels sit on both sides of byte edges.
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> opaque;
        RECT bounds;
    };
    const Case cases[] = {
        {"nothing shows", {}, {0, 0, 0, 0}},
        {"one pixel", {{5, 2}}, {5, 2, 6, 3}},
        {"first and last pixel", {{0, 0}, {18, 4}}, {0, 0, 19, 5}},
        {"byte edges", {{7, 1}, {8, 3}}, {7, 1, 9, 4}},
        {"last column of a partial byte", {{18, 2}}, {18, 2, 19, 3}},
        {"widest row is not the first", {{9, 0}, {2, 3}, {15, 3}}, {2, 0, 16, 4}},
        {"gap rows inside", {{4, 0}, {4, 4}}, {4, 0, 5, 5}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint32_t> pixels(19 * 5, kBlack);
        for (auto [x, y] : c.opaque) pixels[y * 19 + x] = kWhite;
        const RECT got = x11::opaqueBounds(maskOf(pixels, 19, 5, kBlackKey));
        EXPECT_EQ(got.left, c.bounds.left) << c.name;
        EXPECT_EQ(got.top, c.bounds.top) << c.name;
        EXPECT_EQ(got.right, c.bounds.right) << c.name;
        EXPECT_EQ(got.bottom, c.bounds.bottom) << c.name;
    }
    EXPECT_EQ(x11::opaqueBounds(x11::ShapeMask{}).right, 0);
}

TEST(KeyToAlpha, KeyedClearOthersOpaqueWithTheirColour) {
    // Premultiplied input alpha never shows: a 24-bit visual shows the colour
    // bytes as they are, and so must the opaque pixels here.
    struct Case {
        std::uint32_t painted;
        bool keyed;
        COLORREF key;
        std::uint32_t stored;
    };
    const Case cases[] = {
        {0xFF000000, true, kBlackKey, 0x00000000},  // the key: clear and black
        {0x00000000, true, kBlackKey, 0x00000000},
        {0x80000000, true, kBlackKey, 0x00000000},   // alpha ignored, as for the shape
        {0xFF000001, true, kBlackKey, 0xFF000001},   // one step off the key stays
        {0x40D2D2D2, true, kBlackKey, 0xFFD2D2D2},   // translucent paint shows opaque
        {0xFF112233, true, 0x00332211, 0x00000000},  // COLORREF is BGR
        {0xFF332211, true, 0x00332211, 0xFF332211},
        {0xFF000000, true, 0x00332211, 0xFF000000},  // black is no key of another colour
        {0xFF000000, false, kBlackKey, 0xFF000000},  // unkeyed: all opaque
        {0x00000000, false, kBlackKey, 0xFF000000},
    };
    for (const Case& c : cases) {
        std::uint32_t out = 0x12345678;
        x11::keyToAlpha(&c.painted, &out, 1, c.keyed, c.key);
        EXPECT_EQ(out, c.stored) << std::hex << c.painted << " keyed " << c.keyed << " key " << c.key;
    }
}

TEST(KeyToAlpha, MaskOfStoredPixelsMatchesMaskOfPaintedOnes) {
    // The shape sent for a 32-bit window comes from what it stores; it must
    // be the shape the painted pixels give, whatever the key.
    const std::vector<std::uint32_t> painted = {0xFF000000, 0xFF112233, 0x00000000, 0xFFFFFFFF, 0xFF332211, 0x80112233,
                                                0xFF000001, 0x00FFFFFF, 0xFF112233, 0xFF000000, 0xFFD2D2D2, 0xFF112234};
    for (COLORREF key : {kBlackKey, COLORREF{0x00332211}}) {
        std::vector<std::uint32_t> stored(painted.size());
        x11::keyToAlpha(painted.data(), stored.data(), static_cast<int>(painted.size()), true, key);
        EXPECT_EQ(x11::buildShapeMask({stored.data(), 4, 3, 16}, x11::kAlphaKeyTest), maskOf(painted, 4, 3, key))
            << std::hex << key;
    }
}

TEST(KeyToAlpha, ChangingTheKeyRestoresWhatWasPainted) {
    // alphaToKey then keyToAlpha with the new key is what storing the
    // painted pixels with the new key gives. Unkeyed, a clear pixel was
    // never painted: black.
    const std::vector<std::uint32_t> painted = {0xFF000000, 0xFF112233, 0xFFFFFFFF, 0xFF332211, 0xFF010101};
    struct Keying {
        bool keyed;
        COLORREF key;
    };
    const Keying keyings[] = {{false, kBlackKey}, {true, kBlackKey}, {true, 0x00332211}, {true, 0x00FFFFFF}};
    for (const Keying& from : keyings) {
        for (const Keying& to : keyings) {
            std::vector<std::uint32_t> stored(painted.size()), expected(painted.size());
            x11::keyToAlpha(painted.data(), stored.data(), static_cast<int>(painted.size()), from.keyed, from.key);
            x11::alphaToKey(stored.data(), stored.size(), from.keyed, from.key);
            x11::keyToAlpha(stored.data(), stored.data(), static_cast<int>(stored.size()), to.keyed, to.key);
            x11::keyToAlpha(painted.data(), expected.data(), static_cast<int>(painted.size()), to.keyed, to.key);
            EXPECT_EQ(stored, expected) << std::hex << from.keyed << "/" << from.key << " -> " << to.keyed << "/"
                                        << to.key;
        }
    }
    std::uint32_t blank = 0;
    x11::alphaToKey(&blank, 1, false, kBlackKey);
    x11::keyToAlpha(&blank, &blank, 1, false, kBlackKey);
    EXPECT_EQ(blank, 0xFF000000u);
}
