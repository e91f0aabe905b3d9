// The painting of the main window: the progress bar, the hint bubble and
// what each invalidates, read back from pixels.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "app/ot_overlay.h"
#include "common/ot_layout.h"
#include "platform/audio/audio.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/gdi_objects.h"
#include "playback/ot_playengine.h"
#include "skin/ot_skin.h"
#include "support/memory_surface.h"
#include "support/pump.h"

namespace {

constexpr std::uint32_t kBarPixel = 0xFFCCFF99;

struct Overlay : ::testing::Test {
    Overlay() {
        overlay.Startup();
        skin.Build(nullptr);
    }
    // Paints with `fraction` and returns the columns of row 127 that carry the bar.
    std::vector<int> BarColumns(float fraction) {
        MemorySurface buffer(540, 200);
        Gdiplus::Graphics graphics(buffer.dc);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        overlay.Paint(&graphics, fraction, &skin);
        std::vector<int> columns;
        for (int x = 0; x < 540; ++x)
            if (buffer.at(x, 127) == kBarPixel) columns.push_back(x);
        for (int y : {125, 130}) EXPECT_NE(buffer.at(270, y), kBarPixel) << "the bar is rows 126 to 129 only";
        return columns;
    }
    OstOverlay overlay;
    OstSkin skin;
};

TEST_F(Overlay, TheBarIsTheTruncatedFractionOf500PixelsFromX21) {
    EXPECT_EQ(BarColumns(0.5f).size(), 250u);
    EXPECT_EQ(BarColumns(0.5f).front(), 21);
    auto full = BarColumns(1.0f);
    ASSERT_EQ(full.size(), 500u);
    EXPECT_EQ(full.front(), 21);
    EXPECT_EQ(full.back(), 520);
    EXPECT_EQ(BarColumns(0.0031f).size(), 1u);
    EXPECT_EQ(BarColumns(0.0019f).size(), 0u);
}

TEST_F(Overlay, NoBarOutsideZeroToOne) {
    for (float fraction :
         {0.0f, -0.5f, 1.0001f, 7.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        EXPECT_TRUE(BarColumns(fraction).empty()) << fraction;
}

TEST_F(Overlay, TheBubbleIsTheSkinsImageCentredOnTheHintOwner) {
    using namespace OstLayout;
    struct Case {
        int owner, centre;
    } cases[] = {{1, kPlayButton.centerX()}, {2, kStopButton.centerX()}};
    auto image = win32::findBitmap(skin.m_bmBubble);
    for (const Case& c : cases) {
        const int left = c.centre - kBubbleTipX;
        MemorySurface buffer(540, 200);
        overlay.SetHint(nullptr, OstHint{c.owner, c.centre});
        overlay.ShowHint();
        {
            Gdiplus::Graphics graphics(buffer.dc);
            overlay.Paint(&graphics, 0, &skin);
        }
        int mismatches = 0, outside = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 540; ++x) {
                bool inBubble =
                    x >= left && x < left + kBubbleWidth && y >= kBubbleTop && y < kBubbleTop + kBubbleHeight;
                std::uint32_t expected = inBubble ? image->row(y - kBubbleTop)[x - left] : 0;
                if (buffer.at(x, y) != expected) (inBubble ? mismatches : outside)++;
            }
        EXPECT_EQ(mismatches, 0) << "owner " << c.owner;
        EXPECT_EQ(outside, 0) << "owner " << c.owner;
        overlay.HideHint();
    }
}

struct Window : ::testing::Test {
    Window() { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND); }
    ~Window() override { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_AUTODETECT); }
    int BarPixelsOnScreen(HWND hwnd) {
        int count = 0;
        for (int x = 0; x < 540; ++x) count += display.pixel(hwnd, x, 127) == kBarPixel;
        return count;
    }
    headless::HeadlessBackend display;
};

TEST_F(Window, HintsInvalidateTheirAreaOnceAndHidingAHiddenHintNothing) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    Pump();
    RECT update;
    OstOverlay* overlay = app.GetOverlay();
    overlay->HideHint();
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));

    overlay->SetHint(hwnd, OstHint{1, 267});
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE)) << "setting a hint redraws nothing";
    overlay->ShowHint();
    ASSERT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
    EXPECT_EQ(update.left, 150);
    EXPECT_EQ(update.top, 20);
    EXPECT_EQ(update.right, 384);
    EXPECT_EQ(update.bottom, 100);
    Pump();
    EXPECT_NE(display.pixel(hwnd, 267, 60), 0u) << "the bubble is on screen";
    overlay->HideHint();
    Pump();
    EXPECT_EQ(display.pixel(hwnd, 267, 60), 0u) << "and gone again";
    overlay->HideHint();
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));
}

TEST_F(Window, NothingLoadedShowsNoBarAndADroppedFileGrowsIt) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    Pump();
    EXPECT_EQ(BarPixelsOnScreen(hwnd), 0);

    display.dropFiles(hwnd, {std::string(OST_FIXTURES) + "/audio/tone.ogg"});
    Pump();
    ASSERT_EQ(app.GetPlayEngine()->GetState(), 1);
    // The silent real-time output plays on its clock; the progress timer repaints.
    float first = 0;
    for (int i = 0; i < 100 && (first = app.GetPlayEngine()->GetProgress()) <= 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_GT(first, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    float later = app.GetPlayEngine()->GetProgress();
    EXPECT_GT(later, first);
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump();
    EXPECT_GT(BarPixelsOnScreen(hwnd), 0);
}

TEST_F(Window, PausedPlaybackShowsNoBar) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    display.dropFiles(hwnd, {std::string(OST_FIXTURES) + "/audio/tone.ogg"});
    Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    app.GetPlayEngine()->Pause();
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump();
    EXPECT_EQ(BarPixelsOnScreen(hwnd), 0);
}

}  // namespace
