#include "platform/x11/shown_pieces.h"

#include <algorithm>
#include <limits>

namespace x11 {

namespace {

// The columns [left, right) a row's set bits span; left == right when none.
struct RowSpan {
    int left = 0;
    int right = 0;
};

RowSpan spanOf(const ShapeMask& mask, int y) {
    RowSpan span{mask.width, 0};
    for (int x = 0; x < mask.width; ++x) {
        if (!mask.opaqueAt(x, y)) continue;
        span.left = std::min(span.left, x);
        span.right = x + 1;
    }
    if (span.right == 0) span.left = 0;
    return span;
}

}  // namespace

std::vector<RECT> shownPieces(const ShapeMask& mask, long partCost) {
    const int height = mask.height;
    std::vector<RowSpan> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[y] = spanOf(mask, y);

    // best[i]: the least cost of covering rows [0, i); from[i] where the last
    // band of that cover starts. A band's cost is the area of its box plus
    // partCost, nothing when its rows are all clear. Rows a few hundred
    // high: the quadratic walk is cheap next to building the mask.
    constexpr long long kNone = std::numeric_limits<long long>::max();
    std::vector<long long> best(static_cast<size_t>(height) + 1, kNone);
    std::vector<int> from(static_cast<size_t>(height) + 1, 0);
    best[0] = 0;
    for (int end = 1; end <= height; ++end) {
        int left = mask.width, right = 0, top = -1, bottom = -1;
        for (int start = end - 1; start >= 0; --start) {
            const RowSpan& row = rows[start];
            if (row.right > row.left) {
                left = std::min(left, row.left);
                right = std::max(right, row.right);
                if (bottom < 0) bottom = start + 1;
                top = start;
            }
            if (best[start] == kNone) continue;
            const long long area = top < 0 ? 0 : static_cast<long long>(right - left) * (bottom - top) + partCost;
            if (best[start] + area < best[end]) {
                best[end] = best[start] + area;
                from[end] = start;
            }
        }
    }

    std::vector<RECT> pieces;
    for (int end = height; end > 0; end = from[end]) {
        RECT box{mask.width, end, 0, from[end]};
        for (int y = from[end]; y < end; ++y) {
            const RowSpan& row = rows[y];
            if (row.right <= row.left) continue;
            box.left = std::min(box.left, static_cast<LONG>(row.left));
            box.right = std::max(box.right, static_cast<LONG>(row.right));
            box.top = std::min(box.top, static_cast<LONG>(y));
            box.bottom = y + 1;
        }
        if (box.right > box.left) pieces.push_back(box);
    }
    std::reverse(pieces.begin(), pieces.end());
    return pieces;
}

int largestPiece(const std::vector<RECT>& pieces) {
    int largest = -1;
    long long largestArea = -1;
    for (int i = 0; i < static_cast<int>(pieces.size()); ++i) {
        const RECT& r = pieces[i];
        const long long area = static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
        if (area > largestArea) {
            largest = i;
            largestArea = area;
        }
    }
    return largest;
}

}  // namespace x11
