// The buttons in the whole program on the headless display: what each does
// to playback, the hint bubble, the window, what the screen then shows, and
// which parts of the strip drag the window.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "app/ot_overlay.h"
#include "controls/ot_widget.h"
#include "platform/audio/audio.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/internal/gdi_objects.h"
#include "playback/ot_playengine.h"
#include "skin/ot_skin.h"
#include "support/pump.h"

namespace {

// Points inside each button, and a gap of the row.
constexpr POINT kPrev{157, 115}, kStop{212, 115}, kPlay{267, 115}, kNext{322, 115}, kClose{508, 108},
    kMinimize{496, 108}, kGap{450, 115};

struct Controls : ::testing::Test {
    Controls() {
        ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT);
        EXPECT_TRUE(app.Initialize());
        hwnd = app.GetMainWindow()->GetHwnd();
        widget = app.GetMainWindow()->GetWidget();
        Pump();
    }
    ~Controls() override { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_AUTODETECT); }

    void Click(POINT at) {
        display.click(hwnd, at.x, at.y);
        Pump();
    }
    void Hover(POINT at) {
        display.moveTo(hwnd, at.x, at.y);
        Pump();
    }
    void PlayAFile() {
        display.dropFiles(hwnd, {std::string(OST_FIXTURES) + "/audio/tone.ogg"});
        Pump();
        ASSERT_EQ(State(), 1);
    }
    int State() { return app.GetPlayEngine()->GetState(); }

    // Whether every opaque pixel of `glyph` is on screen at (x, y): the
    // blend of an opaque source leaves exactly the source.
    bool Shows(HBITMAP glyph, int x0, int y0, int w, int h) {
        auto image = win32::findBitmap(glyph);
        if (!image) return false;
        int opaque = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint32_t want = image->row(y)[x];
                if (want >> 24 != 0xFF) continue;
                ++opaque;
                if (display.pixel(hwnd, x0 + x, y0 + y) != want) return false;
            }
        return opaque > 20;
    }
    bool ShowsPlay() { return Shows(app.GetSkin()->m_bmPlay, 240, 100, 55, 30); }
    bool ShowsPause() { return Shows(app.GetSkin()->m_bmPause, 240, 100, 55, 30); }

    headless::HeadlessBackend display;
    OstApplication app;
    HWND hwnd = nullptr;
    OstWidget* widget = nullptr;
};

TEST_F(Controls, PlayPauseFollowsTheEngineAndNeverStartsAStoppedOne) {
    EXPECT_TRUE(ShowsPlay());
    win32::logInvalidations(true);
    Click(kPlay);
    EXPECT_EQ(State(), 0) << "a click while stopped starts nothing";
    EXPECT_TRUE(ShowsPlay());
    ASSERT_FALSE(win32::invalidations().empty()) << "but repaints the button";
    EXPECT_EQ(win32::invalidations()[0].rect.left, 240);
    win32::logInvalidations(false);

    PlayAFile();
    EXPECT_TRUE(ShowsPause());
    struct Step {
        int state;
        bool pauseGlyph;
    } steps[] = {{2, false}, {1, true}, {2, false}};
    for (const Step& step : steps) {
        Click(kPlay);
        EXPECT_EQ(State(), step.state);
        EXPECT_EQ(ShowsPause(), step.pauseGlyph);
        EXPECT_EQ(ShowsPlay(), !step.pauseGlyph);
    }
    EXPECT_EQ(widget->GetPressed(), -1);
}

TEST_F(Controls, ADoubleClickOnPlayPauseActsOnce) {
    PlayAFile();
    display.click(hwnd, kPlay.x, kPlay.y);
    display.press(hwnd, kPlay.x, kPlay.y);  // within the double-click time
    display.release(hwnd, kPlay.x, kPlay.y);
    Pump();
    EXPECT_EQ(State(), 2);
}

TEST_F(Controls, StopWhilePausedStopsAndRepaintsThePlayButton) {
    PlayAFile();
    Click(kPlay);
    ASSERT_EQ(State(), 2);
    win32::logInvalidations(true);
    Click(kStop);
    EXPECT_EQ(State(), 0);
    auto rects = win32::invalidations();
    win32::logInvalidations(false);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ((std::array<LONG, 4>{rects[0].rect.left, rects[0].rect.top, rects[0].rect.right, rects[0].rect.bottom}),
              (std::array<LONG, 4>{240, 100, 295, 130}))
        << "the play/pause button's rectangle first";
    EXPECT_EQ(rects[1].rect.left, 185) << "then the container's own repaint of stop";
    EXPECT_TRUE(ShowsPlay());
    EXPECT_EQ(widget->GetPressed(), -1);
    Click(kStop);
    EXPECT_EQ(State(), 0) << "stop while stopped stays stopped";
}

TEST_F(Controls, HintsFollowThePointerAndMovingFromPlayToStopHandsTheBubbleOver) {
    OstOverlay* overlay = app.GetOverlay();
    auto bubbleSpan = [&] {
        int left = -1, right = -1;
        for (int x = 0; x < 540; ++x)
            if (display.pixel(hwnd, x, 60) != 0) {
                if (left < 0) left = x;
                right = x;
            }
        return std::pair{left, right};
    };
    Hover(kPlay);
    EXPECT_TRUE(overlay->IsHintVisible());
    EXPECT_EQ(overlay->GetHintOwner(), 1);
    auto [playLeft, playRight] = bubbleSpan();
    EXPECT_GE(playLeft, 150);
    EXPECT_LE(playRight, 384);
    EXPECT_LT(playLeft, 267);
    EXPECT_GT(playRight, 267);

    Hover(kStop);
    EXPECT_TRUE(overlay->IsHintVisible());
    EXPECT_EQ(overlay->GetHintOwner(), 2);
    auto [stopLeft, stopRight] = bubbleSpan();
    EXPECT_EQ(stopLeft - playLeft, -55) << "the same bubble, moved to stop's centre";
    EXPECT_EQ(stopRight - playRight, -55);

    Hover(kPrev);
    EXPECT_FALSE(overlay->IsHintVisible());
    EXPECT_EQ(bubbleSpan().first, -1);
}

TEST_F(Controls, PreviousAndNextOnlyTakeThePressedStateInTurn) {
    PlayAFile();
    Click(kPrev);
    EXPECT_EQ(widget->GetPressed(), 4);
    win32::logInvalidations(true);
    Click(kPrev);
    EXPECT_TRUE(win32::invalidations().empty()) << "a second click on previous does nothing";
    win32::logInvalidations(false);
    Click(kNext);
    EXPECT_EQ(widget->GetPressed(), 5);
    EXPECT_EQ(State(), 1) << "neither touches playback";
    Click(kPlay);
    EXPECT_EQ(widget->GetPressed(), -1) << "another button releases next first";
}

TEST_F(Controls, ThePressedHighlightIsOnScreenOverPrevious) {
    // A pixel of glass beside the glyph: over the glyph's own colour the
    // fill changes nothing.
    const int x = 132, y = 112;
    std::uint32_t before = display.pixel(hwnd, x, y);
    ASSERT_NE(before, 0xFF99CCFFu);
    Click(kPrev);
    std::uint32_t pressed = display.pixel(hwnd, x, y);
    EXPECT_NE(pressed, before);
    // Alpha 120 of the glyph colour: blue grows by (255 - below) * 120 / 255.
    int below = before & 0xFF, now = pressed & 0xFF;
    EXPECT_NEAR(now, 120 + below * 135 / 255, 2);
    EXPECT_EQ(display.pixel(hwnd, 157, 126), display.pixel(hwnd, 212, 126)) << "row 126 is not covered";
    Click(kGap);
    EXPECT_EQ(display.pixel(hwnd, x, y), before) << "a press on the gap clears it";
}

TEST_F(Controls, CloseEndsTheProgramWithZeroAndNeverStaysPressed) {
    display.click(hwnd, kClose.x, kClose.y);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(widget->GetPressed(), -1);
}

TEST_F(Controls, MinimizeHidesTheWindowAndStaysHovered) {
    Hover(kMinimize);
    Click(kMinimize);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(display.window(hwnd)->visible);
    EXPECT_EQ(widget->GetPressed(), -1);
    EXPECT_EQ(widget->GetHover(), 1) << "until the next move over the restored window";
}

TEST_F(Controls, TheGapsOfTheRowDragTheWindowAndTheButtonsDoNot) {
    struct Case {
        POINT at;
        bool moves;
    } cases[] = {{{110, 115}, true}, {{129, 115}, true},  {{130, 115}, false}, {kPrev, false},     {kStop, false},
                 {kPlay, false},     {kNext, false},      {{450, 115}, true},  {{502, 108}, true}, {{512, 108}, true},
                 {{496, 112}, true}, {{496, 111}, false}, {{519, 129}, true},  {{157, 130}, false}};
    for (const Case& c : cases) {
        size_t before = display.window(hwnd)->systemMoves.size();
        Click(c.at);
        if (!IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);  // minimize's click
        EXPECT_EQ(display.window(hwnd)->systemMoves.size() - before, c.moves ? 1u : 0u) << c.at.x << "," << c.at.y;
        if (IsWindow(hwnd) && c.moves) {
            EXPECT_EQ(widget->GetPressed(), -1);
            EXPECT_EQ(widget->GetHover(), -1);
        }
    }
}

TEST_F(Controls, TheStaticGlyphsStayOnScreenAfterTheSkinReleasedThem) {
    OstSkin* skin = app.GetSkin();
    EXPECT_EQ(skin->m_bmStop, nullptr);
    EXPECT_EQ(skin->m_bmClose, nullptr);
    OstSkin fresh;
    fresh.Build(nullptr);
    InvalidateRect(hwnd, nullptr, TRUE);
    Pump();
    EXPECT_TRUE(Shows(fresh.m_bmStop, 185, 100, 55, 30));
    EXPECT_TRUE(Shows(fresh.m_bmPrev, 130, 100, 55, 30));
    EXPECT_TRUE(Shows(fresh.m_bmNext, 295, 100, 55, 30));
    // The small glyphs are thin anti-aliased strokes: every pixel is the
    // glyph blended over the glass, which is the same 40 pixels to the left.
    for (auto [glyph, left] : {std::pair{fresh.m_bmClose, 505}, std::pair{fresh.m_bmMinimize, 493}}) {
        auto image = win32::findBitmap(glyph);
        int lit = 0, wrong = 0;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x) {
                std::uint32_t src = image->row(y)[x], below = display.pixel(hwnd, left + x - 40, 105 + y);
                std::uint32_t got = display.pixel(hwnd, left + x, 105 + y);
                lit += (src >> 24) != 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    int want = int((src >> shift) & 0xFF) + int((below >> shift) & 0xFF) * (255 - int(src >> 24)) / 255;
                    wrong += std::abs(int((got >> shift) & 0xFF) - want) > 2;
                }
            }
        EXPECT_GT(lit, 3);
        EXPECT_EQ(wrong, 0) << "glyph at " << left;
    }
}

}  // namespace
