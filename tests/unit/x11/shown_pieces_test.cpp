#include "platform/x11/shown_pieces.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr long kCost = 64 * 64;

// A mask of `width` x `height` with the given rectangles set.
x11::ShapeMask maskWith(int width, int height, const std::vector<RECT>& filled) {
    x11::ShapeMask mask;
    mask.width = width;
    mask.height = height;
    mask.bits.assign(static_cast<size_t>(mask.bytesPerRow()) * height, 0);
    for (const RECT& r : filled)
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) mask.bits[y * mask.bytesPerRow() + x / 8] |= 1 << (x % 8);
    return mask;
}

void expectRects(const std::vector<RECT>& got, const std::vector<RECT>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].left, want[i].left) << "piece " << i;
        EXPECT_EQ(got[i].top, want[i].top) << "piece " << i;
        EXPECT_EQ(got[i].right, want[i].right) << "piece " << i;
        EXPECT_EQ(got[i].bottom, want[i].bottom) << "piece " << i;
    }
}

}  // namespace

TEST(ShownPieces, BubbleAboveTheStripIsAPieceOfItsOwn) {
    // The strip's layout: a bubble 235 wide over play/pause whose tip and
    // glow reach the strip's glow with no clear row between.
    x11::ShapeMask mask = maskWith(540, 200, {{150, 22, 385, 90}, {262, 90, 272, 97}, {17, 97, 523, 133}});
    std::vector<RECT> pieces = x11::shownPieces(mask, kCost);
    expectRects(pieces, {{150, 22, 385, 97}, {17, 97, 523, 133}});
    EXPECT_EQ(x11::largestPiece(pieces), 1);
}

TEST(ShownPieces, SmallSavingsKeepOneBox) {
    // Rounded corners: rows a few pixels narrower at the top and bottom.
    x11::ShapeMask corners = maskWith(540, 200, {{20, 97, 520, 99}, {17, 99, 523, 131}, {20, 131, 520, 133}});
    expectRects(x11::shownPieces(corners, kCost), {{17, 97, 523, 133}});
    // A bubble as wide as the strip saves nothing by a window of its own.
    x11::ShapeMask wide = maskWith(540, 200, {{17, 22, 523, 90}, {17, 97, 523, 133}});
    expectRects(x11::shownPieces(wide, kCost), {{17, 22, 523, 133}});
}

TEST(ShownPieces, ClearRowsBetweenBelongToNoPiece) {
    // Two shapes far apart: the clear rows between are covered by neither,
    // and where a piece costs more than they are worth, one box spans them.
    x11::ShapeMask mask = maskWith(100, 100, {{10, 0, 90, 10}, {30, 80, 50, 100}});
    expectRects(x11::shownPieces(mask, kCost), {{10, 0, 90, 10}, {30, 80, 50, 100}});
    expectRects(x11::shownPieces(mask, 100 * 100), {{10, 0, 90, 100}});
}

TEST(ShownPieces, EdgesAndEmptyMasks) {
    EXPECT_TRUE(x11::shownPieces(maskWith(30, 20, {}), kCost).empty());
    EXPECT_TRUE(x11::shownPieces(x11::ShapeMask{}, kCost).empty());
    EXPECT_EQ(x11::largestPiece({}), -1);
    // Set bits in the first and last rows and columns, on a width that is
    // no whole number of bytes.
    x11::ShapeMask mask = maskWith(13, 7, {{0, 0, 1, 1}, {12, 6, 13, 7}});
    expectRects(x11::shownPieces(mask, kCost), {{0, 0, 13, 7}});
    expectRects(x11::shownPieces(mask, 0), {{0, 0, 1, 1}, {12, 6, 13, 7}});
    // Equal areas: the first is the largest.
    EXPECT_EQ(x11::largestPiece({{0, 0, 2, 2}, {0, 5, 2, 7}}), 0);
}
