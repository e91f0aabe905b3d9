// The program on a display at a scale: the same strip drawn at the screen's
// resolution, and the pointer meeting it where it shows.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "app/ot_overlay.h"
#include "platform/audio/audio.h"
#include "platform/headless/headless_backend.h"
#include "support/pump.h"

namespace {

struct Screen {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

struct Scaled : ::testing::Test {
    Scaled() { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT); }
    ~Scaled() override { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_AUTODETECT); }

    // Starts the program on a fresh display at `scale`.
    void Start(double scale) {
        app.reset();
        display.reset();  // its windows go before the next display starts
        display = std::make_unique<headless::HeadlessBackend>();
        display->setScale(scale);
        app = std::make_unique<OstApplication>();
        ASSERT_TRUE(app->Initialize());
        hwnd = app->GetMainWindow()->GetHwnd();
        Pump();
    }
    Screen Shown() {
        const headless::WindowState* w = display->window(hwnd);
        return Screen{w->width, w->height, w->pixels};
    }

    std::unique_ptr<headless::HeadlessBackend> display;
    std::unique_ptr<OstApplication> app;
    HWND hwnd = nullptr;
};

TEST_F(Scaled, AtTwoTheWindowIsTwiceAsLargeAndShowsTheSamePictureSharper) {
    Start(1);
    Screen one = Shown();
    Start(2);
    Screen two = Shown();
    const headless::WindowState* w = display->window(hwnd);
    EXPECT_EQ(w->desc.width, 1080);
    EXPECT_EQ(w->desc.height, 400);
    ASSERT_EQ(w->blur.size(), 1u);
    EXPECT_EQ(w->blur[0].left, 40);
    EXPECT_EQ(w->blur[0].top, 200);
    EXPECT_EQ(w->blur[0].right, 1040);
    EXPECT_EQ(w->blur[0].bottom, 260);

    // Wherever the scale-1 picture is flat, the four device pixels of each
    // window pixel are that pixel; where it has edges they are not all one.
    int flat = 0, differ = 0, sharper = 0;
    for (int y = 1; y < 199; ++y)
        for (int x = 1; x < 539; ++x) {
            std::uint32_t p = one.at(x, y);
            bool uniform = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) uniform = uniform && one.at(x + dx, y + dy) == p;
            std::uint32_t block[4] = {two.at(2 * x, 2 * y), two.at(2 * x + 1, 2 * y), two.at(2 * x, 2 * y + 1),
                                      two.at(2 * x + 1, 2 * y + 1)};
            if (uniform) {
                ++flat;
                for (std::uint32_t d : block) differ += d != p;
            } else if (block[0] != block[1] || block[0] != block[2] || block[0] != block[3]) {
                ++sharper;
            }
        }
    EXPECT_GT(flat, 90000);
    EXPECT_EQ(differ, 0);
    EXPECT_GT(sharper, 1000) << "edges are drawn at device resolution, not enlarged";
}

TEST_F(Scaled, ThePointerActsWhereTheButtonsShowAtAFractionalScale) {
    Start(1.5);
    const headless::WindowState* w = display->window(hwnd);
    EXPECT_EQ(w->desc.width, 810);
    EXPECT_EQ(w->desc.height, 300);
    OstOverlay* overlay = app->GetOverlay();
    // Play/pause is window (240, 100) to (295, 130): device (360, 150) to (443, 195).
    display->moveTo(hwnd, 401, 172);
    Pump();
    EXPECT_TRUE(overlay->IsHintVisible());
    EXPECT_EQ(overlay->GetHintOwner(), 1);
    display->moveTo(hwnd, 338, 172);  // stop, just left of play
    Pump();
    EXPECT_EQ(overlay->GetHintOwner(), 2);
    // The plain strip moves the window; the system move starts where the
    // pointer is on the display.
    display->click(hwnd, 165, 172);
    Pump();
    ASSERT_EQ(display->window(hwnd)->systemMoves.size(), 1u);
    POINT from = display->window(hwnd)->systemMoves[0];
    EXPECT_NEAR(from.x, w->position.x + 165, 1);
    EXPECT_NEAR(from.y, w->position.y + 172, 1);
}

TEST_F(Scaled, AScaleChangeWhileRunningMakesTheWindowAgainAtTheNewOne) {
    Start(1);
    display->setScale(2);
    Pump();
    const headless::WindowState* w = display->window(hwnd);
    EXPECT_EQ(w->width, 1080);
    EXPECT_EQ(w->height, 400);
    ASSERT_EQ(w->blur.size(), 1u);
    EXPECT_EQ(w->blur[0].right, 1040);
    // Repainted whole at the new size: the strip's glass shows at its place.
    Screen two = Shown();
    EXPECT_NE(two.at(2 * 110, 2 * 115), 0u);
    EXPECT_NE(two.at(2 * 500, 2 * 110), 0u);
    EXPECT_EQ(two.at(2 * 270, 2 * 50), 0u);
}

}  // namespace
