// The message box at the desktop's scale: sizes follow the scale, the text
// fits, the button lies inside, and what is drawn is where the layout says.
#include "platform/x11/message_box_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

const double kScales[] = {1, 1.5, 2};
const char* const kTexts[] = {
    "Something went wrong",
    "Could not open the data folder.\nThe player cannot start without it; please check the permissions of "
    "~/.local/share/ostrel and try again.",
    "",
    "one\r\ntwo\nthree",
};

TEST(MessageBoxLayout, AtScaleOneTheBoxIsTheSizeItAlwaysWas) {
    struct Case {
        const char* text;
        int width, height, buttonX, buttonY;
    } cases[] = {
        {"Something went wrong", 240, 100, 80, 58},
        {"Two\nlines", 240, 118, 80, 76},
    };
    for (const Case& c : cases) {
        const x11::MessageBoxLayout layout = x11::layoutMessageBox(x11::messageLines(c.text), 1);
        EXPECT_EQ(layout.width, c.width) << c.text;
        EXPECT_EQ(layout.height, c.height) << c.text;
        EXPECT_EQ(layout.buttonX, c.buttonX) << c.text;
        EXPECT_EQ(layout.buttonY, c.buttonY) << c.text;
        EXPECT_EQ(layout.buttonWidth, 80) << c.text;
        EXPECT_EQ(layout.buttonHeight, 28) << c.text;
    }
}

TEST(MessageBoxLayout, SizesFollowTheScaleAndTheButtonStaysInside) {
    const x11::MessageBoxLayout one = x11::layoutMessageBox(x11::messageLines(kTexts[1]), 1);
    for (double scale : kScales) {
        for (const char* text : kTexts) {
            const auto lines = x11::messageLines(text);
            const x11::MessageBoxLayout layout = x11::layoutMessageBox(lines, scale);
            const std::string what = std::to_string(scale) + " [" + text + "]";
            EXPECT_EQ(layout.buttonWidth, std::lround(80 * scale)) << what;
            EXPECT_EQ(layout.buttonHeight, std::lround(28 * scale)) << what;
            EXPECT_EQ(layout.margin, std::lround(20 * scale)) << what;
            EXPECT_DOUBLE_EQ(layout.fontSize, 13 * scale) << what;
            EXPECT_GE(layout.width, std::lround(240 * scale)) << what;
            EXPECT_LE(layout.width, std::lround(900 * scale)) << what;
            EXPECT_GE(layout.buttonX, layout.margin) << what;
            EXPECT_LE(std::abs((layout.width - layout.buttonX - layout.buttonWidth) - layout.buttonX), 1) << what;
            const double textBottom = layout.margin + static_cast<double>(lines.size()) * layout.lineHeight;
            EXPECT_GE(layout.buttonY, textBottom) << what << ": the button covers the text";
            EXPECT_LT(layout.buttonY + layout.buttonHeight, layout.height) << what;
            // The pointer's test agrees with the button's rectangle.
            EXPECT_TRUE(layout.inButton(layout.buttonX, layout.buttonY)) << what;
            EXPECT_TRUE(
                layout.inButton(layout.buttonX + layout.buttonWidth - 1, layout.buttonY + layout.buttonHeight - 1))
                << what;
            EXPECT_FALSE(layout.inButton(layout.buttonX + layout.buttonWidth, layout.buttonY)) << what;
            EXPECT_FALSE(layout.inButton(layout.buttonX, layout.buttonY + layout.buttonHeight)) << what;
        }
        // Text measured at the scaled font: a box sized by its text grows
        // with the scale (hinting moves a glyph's width a pixel or so).
        const x11::MessageBoxLayout layout = x11::layoutMessageBox(x11::messageLines(kTexts[1]), scale);
        EXPECT_NEAR(layout.width, one.width * scale, 2 + 0.02 * one.width * scale) << scale;
        EXPECT_NEAR(layout.height, one.height * scale, 2) << scale;
    }
    EXPECT_EQ(x11::layoutMessageBox({"Something went wrong"}, 2).width, 480);
    EXPECT_EQ(x11::layoutMessageBox({"Something went wrong"}, 2).height, 200);
}

// The grey level (0-255, from the green channel) of a pixel of an RGB24 image.
int Grey(cairo_surface_t* surface, int x, int y) {
    const auto* row =
        cairo_image_surface_get_data(surface) + static_cast<size_t>(y) * cairo_image_surface_get_stride(surface);
    return static_cast<int>((reinterpret_cast<const std::uint32_t*>(row)[x] >> 8) & 0xFF);
}

TEST(MessageBoxPaint, TheButtonAndTheTextAreWhereTheLayoutSays) {
    for (double scale : kScales) {
        const auto lines = x11::messageLines(kTexts[1]);
        const x11::MessageBoxLayout layout = x11::layoutMessageBox(lines, scale);
        for (bool pressed : {false, true}) {
            cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.width, layout.height);
            x11::paintMessageBox(surface, layout, lines, pressed);
            const std::string what = std::to_string(scale) + (pressed ? " pressed" : "");
            const int border = static_cast<int>(std::max(1.0, std::round(scale)));
            const int middle = layout.buttonY + layout.buttonHeight / 2;
            EXPECT_EQ(Grey(surface, layout.buttonX - 1, middle), 240) << what << ": left of the button";
            for (int i = 0; i < border; ++i) {
                EXPECT_EQ(Grey(surface, layout.buttonX + i, middle), 115) << what << ": the left border";
                EXPECT_EQ(Grey(surface, layout.buttonX + layout.buttonWidth - 1 - i, middle), 115) << what;
                EXPECT_EQ(Grey(surface, layout.buttonX + layout.buttonWidth / 4, layout.buttonY + i), 115) << what;
            }
            EXPECT_EQ(Grey(surface, layout.buttonX + border, middle), pressed ? 199 : 225) << what << ": the face";
            EXPECT_EQ(Grey(surface, layout.buttonX + layout.buttonWidth, middle), 240) << what;
            // The text reaches, but does not cross, the right margin: the
            // box was sized by its widest line at the font it is drawn in.
            int rightmost = 0;
            for (int y = 0; y < layout.buttonY; ++y) {
                for (int x = 0; x < layout.width; ++x) {
                    if (Grey(surface, x, y) > 160) continue;
                    rightmost = std::max(rightmost, x);
                    ASSERT_GE(x, layout.margin / 2) << what << ": text in the left margin at " << x;
                    ASSERT_LT(y, layout.margin + static_cast<int>(lines.size() * layout.lineHeight)) << what;
                }
            }
            EXPECT_LT(rightmost, layout.width - layout.margin) << what << ": text in the right margin";
            EXPECT_GT(rightmost, layout.width - layout.margin - 4 * scale) << what << ": text short of the margin";
            cairo_surface_destroy(surface);
        }
    }
}

}  // namespace
