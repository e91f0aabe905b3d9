#include <gtest/gtest.h>

#include <vector>

#include "platform/x11/x11_internal.h"

namespace {

// What a present sends is the span of a row that differs from what the
// server shows; the stored row ends up equal to the new one either way.
TEST(CopyChanged, SendsOnlyTheSpanThatDiffers) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> stored, fresh;
        int first, end;
    };
    const Case cases[] = {
        {"nothing changed", {1, 2, 3, 4}, {1, 2, 3, 4}, 0, 0},
        {"one in the middle", {1, 2, 3, 4}, {1, 9, 3, 4}, 1, 2},
        {"both ends, the middle as it was", {1, 2, 3, 4}, {9, 2, 3, 9}, 0, 4},
        {"the last only", {1, 2, 3, 4}, {1, 2, 3, 0}, 3, 4},
        {"a single pixel", {7}, {8}, 0, 1},
        {"an empty row", {}, {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> stored = c.stored;
        const auto [first, end] = x11::copyChanged(c.fresh.data(), stored.data(), static_cast<int>(stored.size()));
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(stored, c.fresh);
    }
}

}  // namespace
