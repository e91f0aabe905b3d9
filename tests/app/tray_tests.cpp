// The tray icon on the headless display: what it shows, the toggle on left
// presses, a missing tray at start-up, and minimize when no tray can bring
// the window back.
#include <gtest/gtest.h>

#include <functional>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "common/ot_messages.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "support/audio_testing.h"
#include "support/pump.h"

namespace {

struct Tray : ::testing::Test {
    Tray() { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT); }
    ~Tray() override { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_AUTODETECT); }

    HWND Start() {
        EXPECT_TRUE(app.Initialize());
        HWND hwnd = app.GetMainWindow()->GetHwnd();
        Pump();
        return hwnd;
    }
    bool WholeWindowRepainted(HWND hwnd, size_t since) {
        const auto& presented = display.window(hwnd)->presented;
        for (size_t i = since; i < presented.size(); ++i) {
            const RECT& r = presented[i];
            if (r.left == 0 && r.top == 0 && r.right == 540 && r.bottom == 200) return true;
        }
        return false;
    }

    headless::HeadlessBackend display;
    OstApplication app;
};

TEST_F(Tray, TheIconShowsTheTipAndTheProgramIconAndIsGoneAfterExit) {
    {
        OstApplication program;
        ASSERT_TRUE(program.Initialize());
        ASSERT_EQ(display.trayIcons().size(), 1u);
        const auto& icon = display.trayIcons().begin()->second;
        EXPECT_TRUE(icon.shown);
        EXPECT_EQ(icon.desc.tip, "OstPlayer [Preview]");
        EXPECT_EQ(icon.desc.width, 128);
        EXPECT_EQ(icon.desc.height, 128);
        EXPECT_TRUE(win32::assertionReports().empty());
        display.requestClose(program.GetMainWindow()->GetHwnd());
        EXPECT_EQ(program.Run(), 0);
        EXPECT_EQ(display.trayIcons().size(), 1u) << "the icon lives until the application object goes";
    }
    EXPECT_TRUE(display.trayIcons().empty());
}

TEST_F(Tray, OnlyLeftPressesAndDoubleClicksToggleTheWindow) {
    HWND hwnd = Start();
    struct Case {
        LPARAM mouse;
        bool toggles;
    } cases[] = {
        {WM_LBUTTONDOWN, true}, {WM_LBUTTONDBLCLK, true},  {WM_LBUTTONUP, false}, {WM_RBUTTONDOWN, false},
        {WM_RBUTTONUP, false},  {WM_RBUTTONDBLCLK, false}, {WM_MOUSEMOVE, false},
    };
    for (bool visibleBefore : {true, false}) {
        for (const Case& c : cases) {
            ShowWindow(hwnd, visibleBefore ? SW_SHOW : SW_HIDE);
            Pump();
            EXPECT_EQ(SendMessageW(hwnd, WM_TRAYICON, 1, c.mouse), 0);
            EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, visibleBefore != c.toggles)
                << "message " << c.mouse << ", visible before " << visibleBefore;
        }
    }
}

TEST_F(Tray, ClicksOnTheIconHideAndShowAndADoubleClickEndsWhereItBegan) {
    HWND hwnd = Start();
    struct Step {
        const char* what;
        std::function<void()> input;
        bool visibleAfter;
    } steps[] = {
        {"click hides",
         [&] {
             display.trayPress();
             display.trayRelease();
         },
         false},
        {"click shows",
         [&] {
             display.trayPress();
             display.trayRelease();
         },
         true},
        {"double click: down, then double",
         [&] {
             display.trayPress();
             display.trayRelease();
             display.trayPress(1, true);
             display.trayRelease();
         },
         true},
        {"right click",
         [&] {
             display.trayPress(3);
             display.trayRelease(3);
         },
         true},
        {"move", [&] { display.trayMove(); }, true},
        {"third quick press starts anew",
         [&] {
             display.trayPress(1, true);
             display.trayRelease();
         },
         false},
    };
    for (const Step& s : steps) {
        s.input();
        Pump();
        EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, s.visibleAfter) << s.what;
    }
}

TEST_F(Tray, ShowingFromTheTrayRepaintsTheWholeWindowAndReappliesTheBlur) {
    HWND hwnd = Start();
    display.trayPress();
    Pump();
    ASSERT_FALSE(IsWindowVisible(hwnd));
    size_t before = display.window(hwnd)->presented.size();
    int blurs = display.window(hwnd)->blurSets;
    display.trayPress();
    Pump();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(WholeWindowRepainted(hwnd, before));
    EXPECT_EQ(display.window(hwnd)->blurSets, blurs + 1);
    ASSERT_EQ(display.window(hwnd)->blur.size(), 1u);
    EXPECT_EQ(display.window(hwnd)->blur[0].top, 100);
}

TEST_F(Tray, NoTrayAtStartupIsReportedAndTheIconAppearsWhenATrayDoes) {
    display.setTrayPresent(false);
    HWND hwnd = Start();
    auto reports = win32::assertionReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("Assertion failed: Shell_NotifyIcon(NIM_ADD, &(this->niData)), file ot_tray, line ", 0),
              0u);
    EXPECT_TRUE(IsWindowVisible(hwnd)) << "start-up goes on";
    ASSERT_EQ(display.trayIcons().size(), 1u);
    EXPECT_FALSE(display.trayIcons().begin()->second.shown);
    display.setTrayPresent(true);
    EXPECT_TRUE(display.trayIcons().begin()->second.shown);
    display.trayPress();
    Pump();
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(Tray, MinimizeHidesWithATrayAndIconifiesWithoutOne) {
    struct Case {
        bool tray;
        bool iconic;
    } cases[] = {{true, false}, {false, true}};
    for (const Case& c : cases) {
        headless::HeadlessBackend fresh;
        fresh.setTrayPresent(c.tray);
        ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT);
        OstApplication program;
        ASSERT_TRUE(program.Initialize());
        HWND hwnd = program.GetMainWindow()->GetHwnd();
        Pump();
        EXPECT_TRUE(AnimateWindow(hwnd, 20, AW_HIDE | AW_BLEND));
        EXPECT_FALSE(IsWindowVisible(hwnd)) << "tray " << c.tray;
        EXPECT_FALSE(fresh.window(hwnd)->visible);
        EXPECT_EQ(fresh.window(hwnd)->iconic, c.iconic) << "tray " << c.tray;
    }
}

TEST_F(Tray, RestoredFromTheTaskbarTheWindowIsShownRepaintedWholeAndBlurredAgain) {
    display.setTrayPresent(false);
    HWND hwnd = Start();
    AnimateWindow(hwnd, 20, AW_HIDE | AW_BLEND);
    ASSERT_TRUE(display.window(hwnd)->iconic);
    size_t before = display.window(hwnd)->presented.size();
    int blurs = display.window(hwnd)->blurSets;
    display.restore(hwnd);
    Pump();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(WholeWindowRepainted(hwnd, before));
    EXPECT_EQ(display.window(hwnd)->blurSets, blurs + 1);
    // A tray that turns up later toggles it as usual.
    display.setTrayPresent(true);
    display.trayPress();
    Pump();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(display.window(hwnd)->iconic);
}

TEST_F(Tray, TheTrayVanishingWhileTheWindowIsHiddenIconifiesItAtOnce) {
    HWND hwnd = Start();
    display.trayPress();
    Pump();
    ASSERT_FALSE(IsWindowVisible(hwnd));
    display.setTrayPresent(false);
    Pump();
    EXPECT_TRUE(display.window(hwnd)->iconic);
    // While shown, losing the tray changes nothing.
    display.restore(hwnd);
    Pump();
    display.setTrayPresent(true);
    display.setTrayPresent(false);
    Pump();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(display.window(hwnd)->iconic);
}

}  // namespace
