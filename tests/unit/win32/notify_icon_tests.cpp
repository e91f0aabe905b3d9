// Tray icons and the blended hide: Shell_NotifyIconW's records, input over
// an icon turned into its callback message, and where AnimateWindow leaves a
// window with and without a tray to bring it back.
#include <gtest/gtest.h>

#include <cwchar>

#include "message_recorder.h"
#include "platform/win32/shell.h"
#include "support/pump.h"

namespace {

constexpr UINT kCallback = WM_USER + 100;

NOTIFYICONDATAW IconFor(HWND hwnd, UINT flags = NIF_MESSAGE | NIF_TIP) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_CURRENT_SIZE;
    data.hWnd = hwnd;
    data.uID = 7;
    data.uFlags = flags;
    data.uCallbackMessage = kCallback;
    std::wcscpy(data.szTip, L"tip");
    return data;
}

struct NotifyIcons : ::testing::Test {
    std::vector<LPARAM> Notifications(RecordingWindow& window) {
        Pump();
        std::vector<LPARAM> out;
        for (const Received& r : window.received()) {
            if (r.message != kCallback) continue;
            EXPECT_EQ(r.wParam, 7u);
            out.push_back(r.lParam);
        }
        window.clear();
        return out;
    }
    headless::HeadlessBackend display;
};

TEST_F(NotifyIcons, AddAndDeleteAcceptOnlyWhatWindowsWould) {
    RecordingWindow window;
    NOTIFYICONDATAW icon = IconFor(window.hwnd());
    NOTIFYICONDATAW stale = IconFor(reinterpret_cast<HWND>(0x4242));
    NOTIFYICONDATAW unsized = icon;
    unsized.cbSize = 0;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, nullptr));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &unsized));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &stale));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &icon)) << "nothing to delete yet";
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &icon));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &icon)) << "the same window and id twice";
    EXPECT_FALSE(Shell_NotifyIconW(1 /* NIM_MODIFY, not provided */, &icon));
    ASSERT_EQ(display.trayIcons().size(), 1u);
    EXPECT_EQ(display.trayIcons().begin()->second.desc.tip, "tip");
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
    EXPECT_TRUE(display.trayIcons().empty());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &icon));
}

TEST_F(NotifyIcons, ATipFillingTheWholeFieldIsReadNoFurther) {
    RecordingWindow window;
    NOTIFYICONDATAW icon = IconFor(window.hwnd());
    std::wmemset(icon.szTip, L'x', 128);  // no terminator
    icon.dwState = 0x41;                  // what follows the field is not tip
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &icon));
    EXPECT_EQ(display.trayIcons().begin()->second.desc.tip, std::string(128, 'x'));
}

TEST_F(NotifyIcons, InputOverTheIconArrivesAsTheCallbackMessage) {
    RecordingWindow window;
    NOTIFYICONDATAW icon = IconFor(window.hwnd());
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &icon));
    struct Case {
        const char* what;
        std::function<void()> input;
        std::vector<LPARAM> expected;
    } cases[] = {
        {"click",
         [&] {
             display.trayPress();
             display.trayRelease();
         },
         {WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {"double click",
         [&] {
             display.trayPress();
             display.trayRelease();
             display.trayPress(1, true);
             display.trayRelease();
         },
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        {"three quick presses",
         [&] {
             display.trayPress();
             display.trayPress(1, true);
             display.trayPress(1, true);
         },
         {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}},
        {"two presses apart",
         [&] {
             display.trayPress();
             display.trayPress();
         },
         {WM_LBUTTONDOWN, WM_LBUTTONDOWN}},
        {"right click",
         [&] {
             display.trayPress(3);
             display.trayRelease(3);
         },
         {WM_RBUTTONDOWN, WM_RBUTTONUP}},
        {"middle press", [&] { display.trayPress(2); }, {}},
        {"move", [&] { display.trayMove(); }, {WM_MOUSEMOVE}},
    };
    for (const Case& c : cases) {
        c.input();
        EXPECT_EQ(Notifications(window), c.expected) << c.what;
    }
}

TEST_F(NotifyIcons, AnIconWithoutACallbackMessageOrWhoseWindowIsGoneSendsNothing) {
    RecordingWindow window;
    NOTIFYICONDATAW icon = IconFor(window.hwnd(), NIF_TIP);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &icon));
    display.trayPress();
    EXPECT_TRUE(Notifications(window).empty());

    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
    auto* gone = new RecordingWindow;
    NOTIFYICONDATAW orphan = IconFor(gone->hwnd());
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &orphan));
    delete gone;
    // Input over it and the loss of the tray find no window and do nothing.
    display.trayPress();
    display.setTrayPresent(false);
    Pump();
    EXPECT_TRUE(Notifications(window).empty());
}

TEST_F(NotifyIcons, TheBlendedHideEndsHiddenIconifiedOrShownByWhatCanBringItBack) {
    struct Case {
        const char* what;
        bool composition, tray, wm, owned;
        bool visible, iconic;
    } cases[] = {
        {"tray", true, true, true, false, false, false},
        {"tray, no compositor", false, true, true, false, false, false},
        {"no tray", true, false, true, false, false, true},
        {"no tray, no window manager", true, false, false, false, true, false},
        {"owned window, no tray", true, false, true, true, false, false},
    };
    for (const Case& c : cases) {
        headless::HeadlessBackend fresh;
        fresh.setComposition(c.composition);
        fresh.setTrayPresent(c.tray);
        fresh.setCanIconify(c.wm);
        RecordingWindow owner;
        HWND hwnd = owner.hwnd();
        if (c.owned) {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = DefWindowProcW;
            wc.lpszClassName = L"OwnedPopup";
            RegisterClassExW(&wc);
            hwnd = CreateWindowExW(0, L"OwnedPopup", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, owner.hwnd(), nullptr,
                                   nullptr, nullptr);
            ASSERT_NE(hwnd, nullptr);
        }
        NOTIFYICONDATAW icon = IconFor(owner.hwnd());
        Shell_NotifyIconW(NIM_ADD, &icon);
        owner.clear();

        EXPECT_TRUE(AnimateWindow(hwnd, 40, AW_HIDE | AW_BLEND)) << c.what;
        EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, c.visible) << c.what;
        EXPECT_EQ(fresh.window(hwnd)->iconic, c.iconic) << c.what;
        if (!c.owned) {
            // WM_SHOWWINDOW only when the window really went.
            bool told = !owner.messages().empty() && owner.messages()[0] == WM_SHOWWINDOW;
            EXPECT_EQ(told, !c.visible) << c.what;
        }
        const std::vector<double>& steps = fresh.window(hwnd)->opacities;
        if (!c.composition) {
            EXPECT_TRUE(steps.empty()) << c.what;
            continue;
        }
        ASSERT_GE(steps.size(), 3u) << c.what;
        EXPECT_EQ(steps.back(), 1.0) << c.what << ": opaque again for the next show";
        EXPECT_EQ(steps[steps.size() - 2], 0.0) << c.what;
        for (size_t i = 0; i + 1 < steps.size(); ++i) {
            EXPECT_GE(steps[i], 0.0) << c.what;
            EXPECT_LE(steps[i], 1.0) << c.what;
            if (i > 0) {
                EXPECT_LE(steps[i], steps[i - 1]) << c.what;
            }
        }
        EXPECT_GT(steps.front(), 0.5) << c.what << ": the fade starts near opaque";
        Shell_NotifyIconW(NIM_DELETE, &icon);
    }
}

TEST_F(NotifyIcons, OnlyTheBlendedHideOfAShownWindowIsProvided) {
    RecordingWindow window;
    EXPECT_FALSE(AnimateWindow(window.hwnd(), 10, AW_BLEND));
    EXPECT_FALSE(AnimateWindow(window.hwnd(), 10, AW_HIDE));
    EXPECT_FALSE(AnimateWindow(reinterpret_cast<HWND>(0x4242), 10, AW_HIDE | AW_BLEND));
    ShowWindow(window.hwnd(), SW_HIDE);
    EXPECT_FALSE(AnimateWindow(window.hwnd(), 10, AW_HIDE | AW_BLEND));
}

TEST_F(NotifyIcons, RestoredFromTheIconStateTheWindowIsToldAndRepaintedWhole) {
    display.setTrayPresent(false);
    RecordingWindow window;
    Pump();
    ASSERT_TRUE(AnimateWindow(window.hwnd(), 10, AW_HIDE | AW_BLEND));
    ASSERT_TRUE(display.window(window.hwnd())->iconic);
    window.clear();
    display.restore(window.hwnd());
    Pump();
    ASSERT_GE(window.messages().size(), 2u);
    EXPECT_EQ(window.messages()[0], static_cast<UINT>(WM_SHOWWINDOW));
    EXPECT_EQ(window.received()[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_TRUE(IsWindowVisible(window.hwnd()));
    RECT update{};
    EXPECT_FALSE(GetUpdateRect(window.hwnd(), &update, FALSE)) << "the whole window was painted";
    const auto& presented = display.window(window.hwnd())->presented;
    ASSERT_FALSE(presented.empty());
    EXPECT_EQ(presented.back().right, 540);
    EXPECT_EQ(presented.back().bottom, 200);
}

TEST_F(NotifyIcons, LosingTheTrayIconifiesOnlyAHiddenTopLevelWindow) {
    RecordingWindow shown, hidden;
    NOTIFYICONDATAW a = IconFor(shown.hwnd()), b = IconFor(hidden.hwnd());
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &a));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &b));
    ShowWindow(hidden.hwnd(), SW_HIDE);
    display.setTrayPresent(false);
    Pump();
    EXPECT_FALSE(display.window(shown.hwnd())->iconic);
    EXPECT_TRUE(IsWindowVisible(shown.hwnd()));
    EXPECT_TRUE(display.window(hidden.hwnd())->iconic);
    EXPECT_FALSE(IsWindowVisible(hidden.hwnd())) << "hidden until the window manager restores it";
}

}  // namespace
