// Pop-up (menu) windows and their deactivation. Under a window manager a
// pop-up is a managed window like the strip: it takes the focus when shown,
// and losing the focus to another window is its deactivation (FocusOut in
// x11_backend.cpp). With no window manager nothing moves the focus on a
// click, so while a pop-up shows it holds an active pointer grab that still
// reports events over our own windows to them: a press anywhere outside the
// pop-up deactivates it. A press on another program's window is swallowed
// by the grab; that program does not see it.
//
// A pop-up closes when the pointer is seen outside it, which the core learns
// from pointer events alone. Once the pointer leaves the pop-up's shape no
// more of them come: so a pointer that left for a see-through pixel of the
// pop-up's rectangle is followed (polled) until it is back on the pop-up or
// the pop-up hides, and a leave reported at a place over the pop-up's shape
// (Xwayland reports the last place seen over the window) is a leave past
// its nearest edge.
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include "platform/x11/leave_point.h"
#include "platform/x11/pointer.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

// As often as a hand moving the pointer away is worth looking at.
constexpr long kFollowIntervalNs = 40 * 1000 * 1000;

bool insideShape(const WindowState& window, int x, int y) {
    if (x < 0 || y < 0 || x >= window.width || y >= window.height) return false;
    bool shaped = window.colorKey && window.shapeApplied && window.shape.width == window.width &&
                  window.shape.height == window.height;
    return !shaped || window.shape.opaqueAt(x, y);
}

}  // namespace

void X11Backend::popupShown(WindowState& window) {
    if (m_popupGrab || wmRunning()) return;
    const unsigned int mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    if (XGrabPointer(m_display, window.xid, True, mask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime) ==
        GrabSuccess)
        m_popupGrab = window.xid;
}

void X11Backend::popupHidden(WindowState& window) {
    if (m_following == window.xid) stopFollowing();
    if (m_popupGrab != window.xid) return;
    XUngrabPointer(m_display, CurrentTime);
    m_popupGrab = 0;
}

void X11Backend::pointerLeft(WindowState& window, const XCrossingEvent& crossing) {
    win32::PointerEvent pointer = inClient(window, pointerFromCrossing(crossing));
    if (!window.desc.popup) {
        win32::onPointerLeft(window.xid, pointer);
        return;
    }
    const POINT& c = pointer.client;
    if (insideShape(window, c.x, c.y)) {
        const POINT past = pastNearestEdge(c, window.width, window.height);
        pointer.screen = {pointer.screen.x + past.x - c.x, pointer.screen.y + past.y - c.y};
        pointer.client = past;
        win32::onPointerLeft(window.xid, pointer);
        return;
    }
    win32::onPointerLeft(window.xid, pointer);
    if (c.x < 0 || c.y < 0 || c.x >= window.width || c.y >= window.height) return;
    // On a see-through pixel the pointer may be on its way out, or only
    // passing between two pieces of the pop-up.
    if (m_followTimer < 0) {
        m_followTimer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_followTimer < 0) return;
        epoll_event watch{};
        watch.events = EPOLLIN;
        if (m_epoll >= 0) epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_followTimer, &watch);
    }
    m_following = window.xid;
    m_followedTo = pointer.screen;
    itimerspec every{};
    every.it_value.tv_nsec = every.it_interval.tv_nsec = kFollowIntervalNs;
    timerfd_settime(m_followTimer, 0, &every, nullptr);
}

void X11Backend::stopFollowing() {
    m_following = 0;
    if (m_followTimer < 0) return;
    itimerspec off{};
    timerfd_settime(m_followTimer, 0, &off, nullptr);
}

void X11Backend::followLeftPointer() {
    if (m_followTimer < 0) return;
    std::uint64_t expirations = 0;
    if (read(m_followTimer, &expirations, sizeof expirations) != sizeof expirations || expirations == 0) return;
    WindowState* window = find(m_following);
    if (!window || !window->mapped) {
        stopFollowing();
        return;
    }
    ::Window root, child;
    int x, y, windowX, windowY;
    unsigned int mask;
    if (!XQueryPointer(m_display, m_root, &root, &child, &x, &y, &windowX, &windowY, &mask)) return;
    if (x == m_followedTo.x && y == m_followedTo.y) return;
    m_followedTo = {x, y};
    POINT origin{};
    if (!rootOrigin(window->xid, &origin)) return;
    win32::PointerEvent pointer;
    pointer.screen = {x, y};
    pointer.client = {x - origin.x, y - origin.y};
    pointer.time = static_cast<DWORD>(m_lastTime);
    // Back over the pop-up, its own motion events take over.
    if (child == window->xid && insideShape(*window, pointer.client.x, pointer.client.y)) {
        stopFollowing();
        return;
    }
    win32::onPointerLeft(window->xid, pointer);
}

bool X11Backend::handlePopupEvent(const XEvent& event) {
    if (!m_popupGrab || event.type != ButtonPress) return false;
    WindowState* popup = find(m_popupGrab);
    if (!popup) {
        m_popupGrab = 0;
        return false;
    }
    const XButtonEvent& press = event.xbutton;
    if (press.window == popup->xid && insideShape(*popup, popup->box.left + press.x, popup->box.top + press.y))
        return false;
    const ::Window xid = popup->xid;
    XUngrabPointer(m_display, press.time);
    m_popupGrab = 0;
    win32::onDeactivated(xid);
    // A press on another window of ours goes on to it, as a click on an
    // inactive window does; one meant for another program reached us only
    // through the grab.
    return press.window == xid || !find(press.window);
}

}  // namespace x11
