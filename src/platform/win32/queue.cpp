// The message queue of the UI thread: sent messages from other threads,
// posted messages, WM_QUIT, input turned into mouse messages through
// WM_NCHITTEST, and WM_PAINT made on demand, in that order.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <future>

#include "platform/win32/internal/events.h"
#include "platform/win32/internal/poll_sources.h"
#include "platform/win32/internal/scale.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"

namespace win32 {
namespace {

struct SentMessage {
    MSG msg;
    std::promise<LRESULT> result;
};

struct PendingInput {
    NativeWindow native;
    PointerEvent event;  // window pixels
    POINT deviceScreen;  // where the display saw it, for the backend again
};

struct Queue {
    std::mutex mutex;  // guards posted, sent, quit
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quitPosted = false;
    int quitCode = 0;

    // UI thread only
    std::deque<PendingInput> input;
    struct {
        HWND hwnd = nullptr;
        DWORD time = 0;
        POINT screen{};
        bool client = false;
        bool valid = false;
    } lastPress;
    POINT lastPressDevice{};  // on the display's own grid
    WPARAM buttons = 0;

    int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::vector<PollSource*> sources;  // UI thread only
};

Queue& queue() {
    static Queue* instance = new Queue;
    return *instance;
}

bool passesFilter(const MSG& msg, HWND hwnd, UINT min, UINT max) {
    if (hwnd && msg.hwnd != hwnd) return false;
    if (min == 0 && max == 0) return true;
    return msg.message >= min && msg.message <= max;
}

DWORD now() { return GetTickCount(); }

constexpr int kDoubleClickHalfSize = 2;  // a 4 by 4 pixel box around the first press

// Turns one pointer event into the message the window receives, if any.
bool translateInput(const PendingInput& input, MSG* out) {
    Queue& q = queue();
    HWND hwnd = windowForNative(input.native);
    auto window = findWindow(hwnd);
    if (!window || !window->visible) return false;
    const PointerEvent& e = input.event;
    // Keep the window's screen position current; the pointer knows it best.
    window->origin = POINT{e.screen.x - e.client.x, e.screen.y - e.client.y};

    if (e.action == PointerAction::Press && e.button == 1) q.buttons |= MK_LBUTTON;
    if (e.action == PointerAction::Release && e.button == 1) q.buttons &= ~static_cast<WPARAM>(MK_LBUTTON);
    if (e.action == PointerAction::Press && e.button == 3) q.buttons |= MK_RBUTTON;
    if (e.action == PointerAction::Release && e.button == 3) q.buttons &= ~static_cast<WPARAM>(MK_RBUTTON);
    if (e.action != PointerAction::Move && e.button != 1 && e.button != 3) return false;

    LPARAM screenParam = MAKELPARAM(e.screen.x, e.screen.y);
    LRESULT hit = SendMessageW(hwnd, WM_NCHITTEST, 0, screenParam);
    if (!IsWindow(hwnd) || hit == HTNOWHERE || hit == HTTRANSPARENT || hit == HTERROR) return false;
    bool client = hit == HTCLIENT;

    UINT message = 0;
    switch (e.action) {
    case PointerAction::Move: message = client ? WM_MOUSEMOVE : WM_NCMOUSEMOVE; break;
    case PointerAction::Press: {
        auto& last = q.lastPress;
        bool near = std::abs(e.screen.x - last.screen.x) <= kDoubleClickHalfSize &&
                    std::abs(e.screen.y - last.screen.y) <= kDoubleClickHalfSize;
        bool doubleClick =
            last.valid && last.hwnd == hwnd && last.client == client && e.time - last.time <= kDoubleClickMs && near;
        bool classWants = window->windowClass->style & CS_DBLCLKS;
        if (e.button == 1) {
            message = client ? WM_LBUTTONDOWN : WM_NCLBUTTONDOWN;
            if (doubleClick && (classWants || !client)) message = client ? WM_LBUTTONDBLCLK : WM_NCLBUTTONDBLCLK;
        } else {
            message = client ? WM_RBUTTONDOWN : WM_NCRBUTTONDOWN;
            if (doubleClick && (classWants || !client)) message = client ? WM_RBUTTONDBLCLK : WM_NCRBUTTONDBLCLK;
        }
        // A double click ends the sequence: a third press starts a new one.
        last.valid = !(message == WM_LBUTTONDBLCLK || message == WM_NCLBUTTONDBLCLK || message == WM_RBUTTONDBLCLK ||
                       message == WM_NCRBUTTONDBLCLK);
        last.hwnd = hwnd;
        last.time = e.time;
        last.screen = e.screen;
        last.client = client;
        q.lastPressDevice = input.deviceScreen;
        break;
    }
    case PointerAction::Release:
        if (e.button == 1)
            message = client ? WM_LBUTTONUP : WM_NCLBUTTONUP;
        else
            message = client ? WM_RBUTTONUP : WM_NCRBUTTONUP;
        break;
    }
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.time = e.time;
    msg.pt = e.screen;
    if (client) {
        msg.wParam = q.buttons;
        msg.lParam = MAKELPARAM(e.client.x, e.client.y);
    } else {
        msg.wParam = static_cast<WPARAM>(hit);
        msg.lParam = screenParam;
    }
    *out = msg;
    return true;
}

bool hasUpdate(Window& window) {
    std::lock_guard lock(window.paintMutex);
    return !cairo_region_is_empty(window.updateRegion);
}

void runSentMessages() {
    Queue& q = queue();
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard lock(q.mutex);
            if (q.sent.empty()) return;
            sent = q.sent.front();
            q.sent.pop_front();
        }
        const MSG& m = sent->msg;
        sent->result.set_value(SendMessageW(m.hwnd, m.message, m.wParam, m.lParam));
    }
}

// One retrieval pass in Win32's order; false when nothing is waiting.
bool retrieve(MSG* msg, HWND hwnd, UINT min, UINT max, bool remove) {
    Queue& q = queue();
    runSentMessages();
    {
        std::lock_guard lock(q.mutex);
        for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
            if (!passesFilter(*it, hwnd, min, max)) continue;
            *msg = *it;
            if (remove) q.posted.erase(it);
            return true;
        }
        if (q.quitPosted) {
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(q.quitCode);
            msg->time = now();
            if (remove) q.quitPosted = false;
            return true;
        }
    }
    while (!q.input.empty()) {
        PendingInput input = q.input.front();
        q.input.pop_front();
        MSG translated;
        if (!translateInput(input, &translated)) continue;
        if (!passesFilter(translated, hwnd, min, max)) continue;  // filtered input is dropped, not kept
        *msg = translated;
        if (!remove) q.input.push_front(input);
        return true;
    }
    for (auto& window : allWindows()) {
        if (!window->visible || !hasUpdate(*window)) continue;
        MSG paint{};
        paint.hwnd = window->handle;
        paint.message = WM_PAINT;
        paint.time = now();
        if (!passesFilter(paint, hwnd, min, max)) continue;
        *msg = paint;  // stays pending until BeginPaint validates the window
        return true;
    }
    return false;
}

void drainWake() {
    std::uint64_t value;
    while (read(queue().wakeFd, &value, sizeof value) == sizeof value) {
    }
}

void dispatchSources() {
    // A copy: a source's work may add or remove sources.
    std::vector<PollSource*> sources = queue().sources;
    for (PollSource* source : sources) source->dispatch();
}

void waitForWork() {
    Queue& q = queue();
    if (backend()) backend()->flush();
    std::vector<pollfd> fds{{q.wakeFd, POLLIN, 0}};
    if (backend() && backend()->eventFd() >= 0) fds.push_back({backend()->eventFd(), POLLIN, 0});
    int timeout = -1;
    for (PollSource* source : q.sources) {
        if (source->fd() >= 0) fds.push_back({source->fd(), source->events(), 0});
        int wait = source->timeoutMs();
        if (wait >= 0 && (timeout < 0 || wait < timeout)) timeout = wait;
    }
    poll(fds.data(), static_cast<nfds_t>(fds.size()), timeout);
    drainWake();
}

void wakeNow() {
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = write(queue().wakeFd, &one, sizeof one);
}

thread_local int t_batchDepth = 0;
thread_local bool t_wakeHeld = false;

}  // namespace

void wakeMessageLoop() {
    if (t_batchDepth > 0) {
        t_wakeHeld = true;
        return;
    }
    wakeNow();
}

WakeBatch::WakeBatch() { ++t_batchDepth; }

WakeBatch::~WakeBatch() {
    if (--t_batchDepth == 0 && t_wakeHeld) {
        t_wakeHeld = false;
        wakeNow();
    }
}

// A backend's pointer event (device pixels) in window pixels. The screen
// point is the window's origin plus the client point, so the two agree
// however the scale rounds.
PointerEvent inWindowPixels(PointerEvent event) {
    const double scale = displayScale();
    if (scale == 1.0) return event;
    POINT origin = toLogical(POINT{event.screen.x - event.client.x, event.screen.y - event.client.y}, scale);
    event.client = toLogical(event.client, scale);
    event.screen = POINT{origin.x + event.client.x, origin.y + event.client.y};
    return event;
}

void onPointer(NativeWindow window, const PointerEvent& event) {
    queue().input.push_back({window, inWindowPixels(event), event.screen});
}

void onPointerLeft(NativeWindow native, const PointerEvent& event) {
    auto window = findWindow(windowForNative(native));
    if (!window || !(window->style & WS_POPUP)) return;
    PointerEvent move = inWindowPixels(event);
    move.action = PointerAction::Move;
    move.button = 0;
    queue().input.push_back({native, move, event.screen});
}

void onMoved(NativeWindow native, POINT screen) {
    if (auto window = findWindow(windowForNative(native))) window->origin = toLogical(screen, displayScale());
}

void onCloseRequest(NativeWindow native) {
    if (HWND hwnd = windowForNative(native)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

void onDeactivated(NativeWindow native) {
    if (HWND hwnd = windowForNative(native)) PostMessageW(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
}

POINT lastPressPoint() { return queue().lastPressDevice; }

void addPollSource(PollSource* source) { queue().sources.push_back(source); }

void removePollSource(PollSource* source) {
    auto& sources = queue().sources;
    sources.erase(std::remove(sources.begin(), sources.end(), source), sources.end());
}

}  // namespace win32

using namespace win32;

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT min, UINT max) {
    if (!msg) return -1;
    for (;;) {
        if (backend()) backend()->processEvents();
        dispatchSources();
        if (retrieve(msg, hwnd, min, max, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
        waitForWork();
    }
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT min, UINT max, UINT removeMsg) {
    if (!msg) return FALSE;
    if (backend()) backend()->processEvents();
    dispatchSources();
    return retrieve(msg, hwnd, min, max, removeMsg & PM_REMOVE) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }  // no keyboard input reaches the program

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    auto window = findWindow(msg->hwnd);
    if (!window || !window->proc) return 0;
    return window->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(queue().mutex);
        MSG msg{hwnd, message, wParam, lParam, now(), {}};
        queue().posted.push_back(msg);
    }
    wakeMessageLoop();
    return TRUE;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto window = findWindow(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->thread == std::this_thread::get_id()) {
        return window->proc ? window->proc(hwnd, message, wParam, lParam) : 0;
    }
    // Another thread waits until the window's thread has handled it.
    auto sent = std::make_shared<SentMessage>();
    sent->msg = MSG{hwnd, message, wParam, lParam, now(), {}};
    auto result = sent->result.get_future();
    {
        std::lock_guard lock(queue().mutex);
        queue().sent.push_back(sent);
    }
    wakeNow();  // this thread waits for the answer: a held wake would never come
    return result.get();
}

void PostQuitMessage(int exitCode) {
    {
        std::lock_guard lock(queue().mutex);
        queue().quitPosted = true;
        queue().quitCode = exitCode;
    }
    wakeMessageLoop();
}
