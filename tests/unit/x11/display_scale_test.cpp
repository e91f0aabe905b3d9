#include "platform/x11/display_scale.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using x11::ScaleSources;

struct Case {
    const char* what;
    ScaleSources sources;
    double expected;
};

template <std::size_t N>
void expectChoices(const Case (&cases)[N]) {
    for (const Case& c : cases) EXPECT_EQ(x11::chooseScale(c.sources), c.expected) << c.what;
}

TEST(DisplayScaleTest, TakesTheFirstSourceThatHoldsAValue) {
    const Case cases[] = {
        {"nothing", {}, 1.0},
        {"OSTREL_SCALE first",
         {.ostrelScale = "1.5",
          .gdkScale = "2",
          .qtScaleFactor = "2.5",
          .windowScalingFactor = 3,
          .xftDpi = 288 * 1024,
          .xftDpiResource = "336"},
         1.5},
        {"then GDK_SCALE",
         {.gdkScale = "2", .qtScaleFactor = "2.5", .windowScalingFactor = 3, .xftDpiResource = "336"},
         2.0},
        {"then QT_SCALE_FACTOR", {.qtScaleFactor = "2.5", .windowScalingFactor = 3, .xftDpiResource = "336"}, 2.5},
        {"then Xft/DPI", {.windowScalingFactor = 3, .xftDpi = 240 * 1024, .xftDpiResource = "336"}, 2.5},
        {"then the unscaled DPI times the window scale (KDE at 150 %)",
         {.windowScalingFactor = 1, .unscaledDpi = 144 * 1024, .xftDpiResource = "96"},
         1.5},
        {"KDE at 200 %", {.windowScalingFactor = 2, .unscaledDpi = 96 * 1024}, 2.0},
        {"GNOME at 200 %: Xft/DPI has the window scale in it",
         {.windowScalingFactor = 2, .xftDpi = 192 * 1024, .unscaledDpi = 96 * 1024},
         2.0},
        {"then the window scale", {.windowScalingFactor = 3, .xftDpiResource = "336"}, 3.0},
        {"then the resource", {.xftDpiResource = "336"}, 3.5},
        {"a window scale of 1 is a value", {.windowScalingFactor = 1, .xftDpiResource = "192"}, 1.0},
    };
    expectChoices(cases);
}

TEST(DisplayScaleTest, PassesOverWhatIsUnusable) {
    const Case cases[] = {
        {"OSTREL_SCALE 0", {.ostrelScale = "0", .gdkScale = "2"}, 2.0},
        {"OSTREL_SCALE negative", {.ostrelScale = "-2", .gdkScale = "2"}, 2.0},
        {"OSTREL_SCALE not a number", {.ostrelScale = "big", .gdkScale = "2"}, 2.0},
        {"OSTREL_SCALE inf", {.ostrelScale = "inf", .gdkScale = "2"}, 2.0},
        {"OSTREL_SCALE empty", {.ostrelScale = "", .gdkScale = "2"}, 2.0},
        {"OSTREL_SCALE with a decimal comma", {.ostrelScale = "1,5", .gdkScale = "2"}, 2.0},
        {"OSTREL_SCALE with a unit", {.ostrelScale = "2x", .gdkScale = "3"}, 3.0},
        {"OSTREL_SCALE beyond a double", {.ostrelScale = "1" + std::string(400, '0'), .gdkScale = "3"}, 3.0},
        {"GDK_SCALE fractional", {.gdkScale = "1.5", .qtScaleFactor = "1.25"}, 1.25},
        {"GDK_SCALE 0", {.gdkScale = "0", .qtScaleFactor = "1.75"}, 1.75},
        {"QT_SCALE_FACTOR garbage", {.qtScaleFactor = "x", .xftDpiResource = "144"}, 1.5},
        {"Xft/DPI unset", {.windowScalingFactor = 2, .xftDpi = -1}, 2.0},
        {"Xft/DPI 0", {.windowScalingFactor = 3, .xftDpi = 0}, 3.0},
        {"unscaled DPI 0", {.windowScalingFactor = 2, .unscaledDpi = 0}, 2.0},
        {"unscaled DPI negative", {.unscaledDpi = -1, .xftDpiResource = "120"}, 1.25},
        {"window scale 0", {.windowScalingFactor = 0, .xftDpi = -1, .xftDpiResource = "192"}, 2.0},
        {"window scale negative", {.windowScalingFactor = -2, .xftDpiResource = "168"}, 1.75},
        {"resource garbage", {.xftDpiResource = "lots"}, 1.0},
        {"resource negative", {.xftDpiResource = "-192"}, 1.0},
        {"resource empty", {.xftDpiResource = ""}, 1.0},
    };
    expectChoices(cases);
}

TEST(DisplayScaleTest, ReadsWhatDesktopsPublish) {
    const Case cases[] = {
        {"OSTREL_SCALE 3, spaced", {.ostrelScale = " 3 "}, 3.0},
        {"GNOME or KDE at 2", {.windowScalingFactor = 2, .xftDpi = 192 * 1024}, 2.0},
        {"GNOME at 2, the compositor scaling X clients", {.windowScalingFactor = 1, .xftDpi = 96 * 1024}, 1.0},
        {"GNOME large text at 1", {.windowScalingFactor = 1, .xftDpi = 120 * 1024}, 1.25},
        {"KDE at 1.5", {.windowScalingFactor = 1, .xftDpi = 144 * 1024}, 1.5},
        {"resource 96", {.xftDpiResource = "96"}, 1.0},
        {"resource 120", {.xftDpiResource = "120"}, 1.25},
        {"resource 144", {.xftDpiResource = "144"}, 1.5},
        {"resource 168", {.xftDpiResource = "168"}, 1.75},
        {"resource 192", {.xftDpiResource = "192"}, 2.0},
    };
    expectChoices(cases);
}

TEST(DisplayScaleTest, KeepsToOneToFourInEighths) {
    const Case cases[] = {
        {"97 dpi", {.xftDpiResource = "97"}, 1.0},
        {"110 dpi", {.xftDpiResource = "110"}, 1.125},
        {"72 dpi", {.xftDpiResource = "72"}, 1.0},
        {"1.3", {.ostrelScale = "1.3"}, 1.25},
        {"1.95", {.ostrelScale = "1.95"}, 2.0},
        {"0.5", {.ostrelScale = "0.5"}, 1.0},
        {"5", {.ostrelScale = "5"}, 4.0},
        {"1000 dpi", {.xftDpiResource = "1000"}, 4.0},
        {"the largest Xft/DPI", {.xftDpi = 0x7FFFFFFF}, 4.0},
        {"the largest window scale", {.windowScalingFactor = 0x7FFFFFFF}, 4.0},
    };
    expectChoices(cases);
}

}  // namespace
