// The message queue: retrieval order, painting, input routing, threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "message_recorder.h"
#include "platform/win32/gdi.h"
#include "platform/win32/kernel.h"
#include "platform/win32/shell.h"
#include "support/pump.h"

namespace {

struct Queue : ::testing::Test {
    headless::HeadlessBackend display;
};

TEST_F(Queue, PaintComesOnlyAfterPostedMessagesAndInput) {
    RecordingWindow window;
    Pump();
    window.clear();
    InvalidateRect(window.hwnd(), nullptr, TRUE);
    PostMessageW(window.hwnd(), WM_USER + 1, 0, 0);
    display.moveTo(window.hwnd(), 5, 5);
    PostMessageW(window.hwnd(), WM_USER + 2, 0, 0);
    Pump();
    EXPECT_EQ(window.messages(),
              (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_NCHITTEST, WM_MOUSEMOVE, WM_PAINT, WM_ERASEBKGND}));
}

TEST_F(Queue, BeginPaintValidatesAndEraseIsAskedOnlyWhenRequested) {
    RecordingWindow window;
    Pump();
    window.clear();
    RECT strip{20, 126, 520, 130};
    InvalidateRect(window.hwnd(), &strip, FALSE);
    Pump();
    EXPECT_EQ(window.messages(), (std::vector<UINT>{WM_PAINT}));
    EXPECT_EQ(Pump(), 0) << "a validated window is not painted again";
    RECT update;
    EXPECT_FALSE(GetUpdateRect(window.hwnd(), &update, FALSE));
}

TEST_F(Queue, PaintedAreaIsPresentedAndTheEraseUsesTheClassBrush) {
    RecordingWindow window;
    Pump();
    const auto* state = display.window(window.hwnd());
    ASSERT_FALSE(state->presented.empty());
    RECT last = state->presented.back();
    EXPECT_EQ(last.right - last.left, 540);
    EXPECT_EQ(display.pixel(window.hwnd(), 10, 10), 0u) << "no class brush: nothing erased";
}

TEST_F(Queue, ClientPressGoesThroughHitTestToButtonDown) {
    RecordingWindow window;
    Pump();
    window.clear();
    display.click(window.hwnd(), 30, 40);
    Pump();
    EXPECT_EQ(window.messages(), (std::vector<UINT>{WM_NCHITTEST, WM_LBUTTONDOWN, WM_NCHITTEST, WM_LBUTTONUP}));
    EXPECT_EQ(window.received()[1].lParam, MAKELPARAM(30, 40));
    EXPECT_EQ(window.received()[0].lParam, MAKELPARAM(80, 100)) << "hit test gets screen coordinates";
}

TEST_F(Queue, CaptionPressBecomesNonClientAndStartsASystemMove) {
    RecordingWindow window;
    window.answer([](UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_NCHITTEST) return false;
        *r = HTCAPTION;
        return true;
    });
    Pump();
    window.clear();
    display.press(window.hwnd(), 110, 115);
    Pump();
    EXPECT_EQ(window.messages(), (std::vector<UINT>{WM_NCHITTEST, WM_NCLBUTTONDOWN, WM_SYSCOMMAND}));
    EXPECT_EQ(window.received()[1].wParam, static_cast<WPARAM>(HTCAPTION));
    EXPECT_EQ(window.received()[2].wParam, static_cast<WPARAM>(SC_MOVE | HTCAPTION));
    ASSERT_EQ(display.window(window.hwnd())->systemMoves.size(), 1u);
    EXPECT_EQ(display.window(window.hwnd())->systemMoves[0].x, 160);
}

TEST_F(Queue, NowhereHitGivesNoMouseMessage) {
    RecordingWindow window;
    window.answer([](UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_NCHITTEST) return false;
        *r = HTNOWHERE;
        return true;
    });
    Pump();
    window.clear();
    display.click(window.hwnd(), 5, 5);
    Pump();
    EXPECT_EQ(window.messages(), (std::vector<UINT>{WM_NCHITTEST, WM_NCHITTEST}));
}

// Leaving a window's shape brings a pop-up a move at the place the pointer
// went, through the hit test like any move; other windows get nothing.
TEST_F(Queue, LeavingTheShapeIsAMoveThereOnlyForAPopup) {
    struct {
        DWORD style;
        std::vector<UINT> expected;
    } cases[] = {
        {WS_VISIBLE | WS_POPUP, {WM_NCHITTEST, WM_MOUSEMOVE}},
        {WS_VISIBLE, {}},
    };
    for (const auto& c : cases) {
        RecordingWindow window(0, 0, c.style);
        Pump();
        window.clear();
        display.leave(window.hwnd(), 7, 150);
        Pump();
        EXPECT_EQ(window.messages(), c.expected) << std::hex << c.style;
        if (c.expected.empty()) continue;
        POINT screen = {7, 150};
        ClientToScreen(window.hwnd(), &screen);
        EXPECT_EQ(window.received()[0].lParam, MAKELPARAM(screen.x, screen.y));
        EXPECT_EQ(window.received()[1].lParam, MAKELPARAM(7, 150));
    }
}

TEST_F(Queue, DoubleClicksNeedTheClassStyleTheTimeAndThePlace) {
    struct Case {
        UINT classStyle;
        DWORD gapMs;
        int dx;
        UINT second;
    } cases[] = {
        {CS_DBLCLKS, 100, 0, WM_LBUTTONDBLCLK},
        {CS_DBLCLKS, 100, 2, WM_LBUTTONDBLCLK},
        {CS_DBLCLKS, 100, 3, WM_LBUTTONDOWN},
        {CS_DBLCLKS, 600, 0, WM_LBUTTONDOWN},
        {0, 100, 0, WM_LBUTTONDOWN},
    };
    for (const Case& c : cases) {
        RecordingWindow window(0, c.classStyle);
        Pump();
        window.clear();
        display.advanceClock(5000);
        display.press(window.hwnd(), 30, 30);
        display.release(window.hwnd(), 30, 30);
        display.advanceClock(c.gapMs);
        display.press(window.hwnd(), 30 + c.dx, 30);
        Pump();
        std::vector<UINT> buttons;
        for (UINT m : window.messages())
            if (m != WM_NCHITTEST && m != WM_LBUTTONUP) buttons.push_back(m);
        EXPECT_EQ(buttons, (std::vector<UINT>{WM_LBUTTONDOWN, c.second}))
            << "style " << c.classStyle << " gap " << c.gapMs << " dx " << c.dx;
    }
}

TEST_F(Queue, ThirdQuickPressStartsANewSequence) {
    RecordingWindow window(0, CS_DBLCLKS);
    Pump();
    window.clear();
    for (int i = 0; i < 3; ++i) {
        display.press(window.hwnd(), 30, 30);
        display.advanceClock(50);
    }
    Pump();
    std::vector<UINT> buttons;
    for (UINT m : window.messages())
        if (m != WM_NCHITTEST) buttons.push_back(m);
    EXPECT_EQ(buttons, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(Queue, InvalidationFromAnotherThreadWakesABlockedLoop) {
    RecordingWindow window;
    Pump();
    std::thread other([hwnd = window.hwnd()] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        RECT strip{20, 126, 520, 130};
        InvalidateRect(hwnd, &strip, TRUE);
    });
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    other.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&msg);
}

TEST_F(Queue, PostAndSendFromAnotherThreadReachTheWindowOnItsThread) {
    RecordingWindow window;
    Pump();
    window.clear();
    std::atomic<LRESULT> sendResult{-1};
    std::thread other([&, hwnd = window.hwnd()] {
        PostMessageW(hwnd, WM_USER + 5, 1, 2);
        sendResult = SendMessageW(hwnd, WM_USER + 6, 3, 4);
        PostMessageW(hwnd, WM_USER + 7, 0, 0);
    });
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        DispatchMessageW(&msg);
        if (msg.message == WM_USER + 7) break;
    }
    other.join();
    // A sent message may overtake the posted one: sent messages are handled first.
    auto got = window.messages();
    ASSERT_EQ(got.size(), 3u);
    std::sort(got.begin(), got.begin() + 2);
    EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 5, WM_USER + 6, WM_USER + 7}));
    EXPECT_EQ(sendResult.load(), 0);
}

TEST_F(Queue, QuitComesOnlyAfterEveryPostedMessage) {
    RecordingWindow window;
    Pump();
    PostQuitMessage(3);
    PostMessageW(window.hwnd(), WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Queue, CloseRequestBecomesWmCloseAndDefaultHandlingDestroys) {
    RecordingWindow window;
    Pump();
    window.clear();
    display.requestClose(window.hwnd());
    Pump();
    EXPECT_EQ(window.messages(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window.hwnd()));
}

TEST_F(Queue, DropReachesOnlyAWindowThatAcceptsFiles) {
    RecordingWindow refusing;
    RecordingWindow accepting(WS_EX_ACCEPTFILES);
    Pump();
    refusing.clear();
    accepting.clear();
    display.dropFiles(refusing.hwnd(), {"/tmp/a.mp3"});
    display.dropFiles(accepting.hwnd(), {"/tmp/first file.mp3", "/tmp/Ünïcode 音乐.ogg"});
    Pump();
    EXPECT_TRUE(refusing.messages().empty());
    ASSERT_EQ(accepting.messages(), (std::vector<UINT>{WM_DROPFILES}));
    auto drop = reinterpret_cast<HDROP>(accepting.received()[0].wParam);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 2u);
    WCHAR name[260];
    EXPECT_EQ(DragQueryFileW(drop, 1, name, 260), 19u);
    EXPECT_STREQ(name, L"/tmp/Ünïcode 音乐.ogg");
    WCHAR small[6];
    EXPECT_EQ(DragQueryFileW(drop, 0, small, 6), 5u);
    EXPECT_STREQ(small, L"/tmp/");
    DragFinish(drop);
    EXPECT_EQ(DragQueryFileW(drop, 0, name, 260), 0u) << "a finished drop is gone";
}

// Invalidates, waits, then posts: a blocked loop woken by the invalidation
// alone would paint before it sees the posted message.
void InvalidateThenPost(PVOID parameter, BOOL) {
    HWND hwnd = static_cast<HWND>(parameter);
    RECT strip{20, 126, 520, 130};
    InvalidateRect(hwnd, &strip, TRUE);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    PostMessageW(hwnd, WM_USER + 9, 0, 0);
}

TEST_F(Queue, TimerCallbackWakesTheLoopOnceWhenItReturns) {
    RecordingWindow window;
    Pump();
    window.clear();
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, InvalidateThenPost, window.hwnd(), 20, 0, WT_EXECUTEDEFAULT));
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 9));
    DispatchMessageW(&msg);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&msg);
    DeleteTimerQueueTimer(nullptr, timer, nullptr);
}

std::atomic<LRESULT> sentFromTimer{-1};
void SendFromTimer(PVOID parameter, BOOL) {
    HWND hwnd = static_cast<HWND>(parameter);
    PostMessageW(hwnd, WM_USER + 10, 0, 0);
    sentFromTimer = SendMessageW(hwnd, WM_USER + 11, 0, 0);
    PostMessageW(hwnd, WM_USER + 12, 0, 0);
}

TEST_F(Queue, TimerCallbackSendingWaitsForAnAnswerWithoutHoldingTheWake) {
    RecordingWindow window;
    Pump();
    window.clear();
    sentFromTimer = -1;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, SendFromTimer, window.hwnd(), 20, 0, WT_EXECUTEDEFAULT));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        DispatchMessageW(&msg);
        if (msg.message == WM_USER + 12) break;
    }
    EXPECT_EQ(sentFromTimer.load(), 0);
    auto got = window.messages();
    EXPECT_NE(std::find(got.begin(), got.end(), WM_USER + 11), got.end());
    DeleteTimerQueueTimer(nullptr, timer, nullptr);
}

std::atomic<int> fired{0};
void CountFiring(PVOID, BOOL) { ++fired; }

TEST(TimerQueue, FiresAfterItsDueTimeAndACancelledTimerNeverFiresAgain) {
    fired = 0;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, CountFiring, nullptr, 10, 10, WT_EXECUTEDEFAULT));
    for (int i = 0; i < 200 && fired < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(fired.load(), 2);
    DeleteTimerQueueTimer(nullptr, timer, nullptr);
    int atCancel = fired;
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_LE(fired.load(), atCancel + 1) << "at most a callback already running may finish";
    int settled = fired;
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(fired.load(), settled);
    EXPECT_FALSE(DeleteTimerQueueTimer(nullptr, timer, nullptr)) << "a deleted timer handle is stale";
}

}  // namespace
