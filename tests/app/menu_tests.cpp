// The volume button and its menu in the whole program on the headless
// display: hovering opens the menu below the button, the ways it closes,
// and what the container and the main window make of it.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "common/ot_messages.h"
#include "controls/ot_widget.h"
#include "menus/ot_menumanager.h"
#include "platform/audio/audio.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "playback/ot_playengine.h"
#include "support/pump.h"

namespace {

constexpr POINT kVolume{377, 115}, kPrev{157, 115}, kAboveRow{377, 60}, kBand{450, 115};
constexpr int kVolumeIndex = 6;

struct VolumeMenu : ::testing::Test {
    VolumeMenu() {
        ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT);
        EXPECT_TRUE(app.Initialize());
        hwnd = app.GetMainWindow()->GetHwnd();
        widget = app.GetMainWindow()->GetWidget();
        menu = app.GetMainWindow()->GetMenuManager()->GetMenuWindow();
        Settle();
    }
    ~VolumeMenu() override { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_AUTODETECT); }

    // What the menu window's hit test posts comes after the input that
    // caused it.
    void Settle() {
        for (int i = 0; i < 3; ++i) Pump();
    }
    void Hover(POINT at) {
        display.moveTo(hwnd, at.x, at.y);
        Settle();
    }
    bool MenuShown() { return IsWindowVisible(menu) && display.window(menu)->visible; }
    POINT MenuCorner() { return display.window(menu)->position; }
    POINT Screen(POINT client) {
        ClientToScreen(hwnd, &client);
        return client;
    }

    headless::HeadlessBackend display;
    OstApplication app;
    HWND hwnd = nullptr;
    HWND menu = nullptr;
    OstWidget* widget = nullptr;
};

TEST_F(VolumeMenu, HoveringOpensTheMenuBelowTheButton) {
    ASSERT_TRUE(IsWindow(menu));
    EXPECT_FALSE(MenuShown());
    display.moveTo(hwnd, kVolume.x, kVolume.y);
    std::vector<LPARAM> shows;
    MSG msg;
    for (int i = 0; i < 3; ++i)
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == menu && msg.message == WM_MENU_SHOW) shows.push_back(msg.lParam);
            DispatchMessageW(&msg);
        }
    POINT corner = Screen({350, 130});
    EXPECT_EQ(shows, std::vector<LPARAM>{MAKELPARAM(corner.x, corner.y)}) << "the button's bottom-left corner";
    ASSERT_TRUE(MenuShown());
    EXPECT_EQ(widget->GetHover(), kVolumeIndex);
    corner = Screen({340, 115});  // the screen point of client (350, 130), less (10, 15)
    EXPECT_EQ(MenuCorner().x, corner.x);
    EXPECT_EQ(MenuCorner().y, corner.y);
    EXPECT_EQ(display.window(menu)->width, 180);
    EXPECT_EQ(display.window(menu)->height, 81);
    EXPECT_NE(display.pixel(menu, 90, 30), 0u) << "the frame is painted";
    EXPECT_TRUE(win32::assertionReports().empty());
}

TEST_F(VolumeMenu, MovingAboveTheRowClosesItAndIntoTheBandLeavesItOpen) {
    struct Step {
        const char* name;
        POINT to;
        bool shown;
        int hover;
    } steps[] = {
        {"onto the button", kVolume, true, kVolumeIndex},
        {"into the draggable band", kBand, true, kVolumeIndex},
        {"back onto the button", kVolume, true, kVolumeIndex},
        {"above the row", kAboveRow, false, -1},
        {"onto the button again", kVolume, true, kVolumeIndex},
        // The menu's closing notice comes after previous took the hover,
        // and ends it; the next move over previous takes it again.
        {"onto previous", kPrev, false, -1},
        {"on over previous", {kPrev.x + 3, kPrev.y}, false, 4},
    };
    for (const Step& step : steps) {
        Hover(step.to);
        EXPECT_EQ(MenuShown(), step.shown) << step.name;
        EXPECT_EQ(widget->GetHover(), step.hover) << step.name;
    }
}

TEST_F(VolumeMenu, TheMenuClosingEndsTheHoverWithTheButtonsExactRectangle) {
    Hover(kVolume);
    ASSERT_TRUE(MenuShown());
    win32::logInvalidations(true);
    // Off the menu body through its left edge.
    display.moveTo(menu, 5, 40);
    Settle();
    auto rects = win32::invalidations();
    win32::logInvalidations(false);
    EXPECT_FALSE(MenuShown());
    EXPECT_EQ(widget->GetHover(), -1);
    int onMain = 0;
    for (const auto& r : rects) {
        if (r.hwnd != hwnd) continue;
        ++onMain;
        EXPECT_EQ((std::array<LONG, 4>{r.rect.left, r.rect.top, r.rect.right, r.rect.bottom}),
                  (std::array<LONG, 4>{350, 100, 405, 130}));
    }
    EXPECT_EQ(onMain, 1);
    Hover(kVolume);
    EXPECT_TRUE(MenuShown()) << "hovering again opens it again";
}

// Out of the menu by a way that crosses only see-through pixels (straight
// down, or in one jump far away): the menu window only learns that the
// pointer left its shape, and where the pointer went.
TEST_F(VolumeMenu, LeavingTheShapeAnyWayClosesItAndEndsTheHover) {
    struct {
        const char* name;
        POINT to;  // menu client point
        bool shown;
    } cases[] = {
        {"down below the frame", {90, 78}, false},
        {"far away", {-400, 900}, false},
        {"onto a see-through pixel inside the body", {90, 40}, true},
    };
    for (const auto& c : cases) {
        Hover(kVolume);
        ASSERT_TRUE(MenuShown()) << c.name;
        display.moveTo(menu, 90, 55);
        Settle();
        display.leave(menu, c.to.x, c.to.y);
        Settle();
        EXPECT_EQ(MenuShown(), c.shown) << c.name;
        EXPECT_EQ(widget->GetHover(), c.shown ? kVolumeIndex : -1) << c.name;
    }
}

TEST_F(VolumeMenu, AClickOnTheButtonOpensNothingMoreAndPressesNothing) {
    Hover(kVolume);
    POINT corner = MenuCorner();
    int activations = display.window(menu)->activations;
    display.click(hwnd, kVolume.x + 5, kVolume.y);
    Settle();
    EXPECT_TRUE(MenuShown());
    EXPECT_EQ(widget->GetPressed(), -1);
    EXPECT_EQ(MenuCorner().x, corner.x);
    EXPECT_EQ(display.window(menu)->activations, activations) << "shown once";
}

TEST_F(VolumeMenu, ItemsLightUpAndTheirClicksChangeNothing) {
    display.dropFiles(hwnd, {std::string(OST_FIXTURES) + "/audio/tone.ogg"});
    Settle();
    ASSERT_EQ(app.GetPlayEngine()->GetState(), 1);
    Hover(kVolume);
    display.moveTo(menu, 90, 30);
    Settle();
    EXPECT_EQ(display.pixel(menu, 90, 35), 0xFF99CCFFu);
    display.moveTo(menu, 90, 50);
    display.click(menu, 90, 50);
    Settle();
    EXPECT_TRUE(MenuShown()) << "the volume items keep the menu open";
    EXPECT_EQ(display.pixel(menu, 90, 55), 0xFF99CCFFu);
    EXPECT_EQ(app.GetPlayEngine()->GetState(), 1);
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(VolumeMenu, LosingActivationClosesItAndTheClickReachesTheStrip) {
    Hover(kVolume);
    ASSERT_TRUE(MenuShown());
    display.setCursor(Screen(kPrev));
    display.deactivate(menu);
    Settle();
    EXPECT_FALSE(MenuShown());
    EXPECT_EQ(widget->GetHover(), -1);
    EXPECT_EQ(widget->GetPressed(), 4) << "previous got the click";
}

TEST_F(VolumeMenu, TheProgramClosesCleanlyWithTheMenuOpen) {
    Hover(kVolume);
    ASSERT_TRUE(MenuShown());
    display.click(hwnd, 508, 108);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
