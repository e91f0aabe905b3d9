#include "platform/x11/icon.h"

#include <gtest/gtest.h>

TEST(IconProperty, SizeThenPixelsAsLongs) {
    std::vector<std::uint32_t> argb = {0x80FF0000, 0xFF00FF00, 0x00000000, 0xFFFFFFFF, 0x12345678, 0x9ABCDEF0};
    std::vector<unsigned long> property = x11::iconProperty(3, 2, argb);
    ASSERT_EQ(property.size(), 8u);
    EXPECT_EQ(property[0], 3u);
    EXPECT_EQ(property[1], 2u);
    for (size_t i = 0; i < argb.size(); ++i) EXPECT_EQ(property[i + 2], argb[i]) << i;  // never sign-extended
}

TEST(IconProperty, RejectsBadSizes) {
    std::vector<std::uint32_t> four(4, 0xFFFFFFFF);
    EXPECT_TRUE(x11::iconProperty(0, 4, four).empty());
    EXPECT_TRUE(x11::iconProperty(-2, -2, four).empty());
    EXPECT_TRUE(x11::iconProperty(3, 2, four).empty());  // too few pixels
    EXPECT_TRUE(x11::iconProperty(1, 2, four).empty());  // too many
    EXPECT_TRUE(x11::iconProperty(65536, 65536, four).empty());
    EXPECT_EQ(x11::iconProperty(2, 2, four).size(), 6u);
}
