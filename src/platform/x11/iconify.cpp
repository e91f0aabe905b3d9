// The icon (taskbar) state: a window the program hides while nothing else
// could bring it back is iconified instead, with its off-taskbar states
// dropped so the taskbar or the window manager's list shows it; when the
// window manager restores it (WM_STATE back to Normal, the window viewable)
// the states return and the core is told.
#include <X11/Xatom.h>

#include <chrono>
#include <thread>

#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;
constexpr long kSourceApplication = 1;
// How long a window manager may take to show an icon before the request
// counts as ignored; the caller has just faded for 200 ms, so a wait here
// is nothing new to it.
constexpr auto kIconifyWait = std::chrono::milliseconds(1000);

}  // namespace

void X11Backend::changeSkipStates(WindowState& window, bool skip) {
    if (!window.desc.toolWindow) return;
    sendToRoot(window.xid, m_atoms.netWmState, skip ? kStateAdd : kStateRemove,
               static_cast<long>(m_atoms.netWmStateSkipTaskbar), static_cast<long>(m_atoms.netWmStateSkipPager),
               kSourceApplication, 0);
}

void X11Backend::setInitialState(WindowState& window, int state) {
    XWMHints* hints = XGetWMHints(m_display, window.xid);
    if (!hints) hints = XAllocWMHints();
    if (!hints) return;
    hints->flags |= StateHint;
    hints->initial_state = state;
    XSetWMHints(m_display, window.xid, hints);
    XFree(hints);
}

bool X11Backend::iconify(win32::NativeWindow native) {
    WindowState* window = find(static_cast<::Window>(native));
    // Without a window manager nothing could restore an icon.
    if (!window || !wmSupports(m_atoms.netWmState)) return false;
    if (!m_wmState) m_wmState = XInternAtom(m_display, "WM_STATE", False);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, window->xid, &attributes)) return false;
    if (attributes.map_state != IsUnmapped) {
        changeSkipStates(*window, false);
        XIconifyWindow(m_display, window->xid, m_screen);
        // Some window managers take the request and leave the window as it
        // is (weston's): it would stay on screen, counted hidden and deaf.
        if (!waitForIconic(*window)) {
            changeSkipStates(*window, true);
            XFlush(m_display);
            return false;
        }
    } else {
        // A withdrawn window is mapped straight into the icon state.
        std::vector<Atom> states;
        if (window->desc.topmost) states.push_back(m_atoms.netWmStateAbove);
        if (onEveryWorkspace(*window)) states.push_back(m_atoms.netWmStateSticky);
        XChangeProperty(m_display, window->xid, m_atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(states.data()), static_cast<int>(states.size()));
        setInitialState(*window, IconicState);
        XMapWindow(m_display, window->xid);
    }
    window->iconic = true;
    XFlush(m_display);
    return true;
}

void X11Backend::iconicPropertyNotify(WindowState& window, const XPropertyEvent& event) {
    if (!window.iconic || !m_wmState || event.atom != m_wmState || event.state != PropertyNewValue) return;
    const long state = readWmState(window.xid);
    // The value is read when the event is handled, maybe after later
    // changes: a Normal state counts as the restore only once the window is
    // on screen again, whichever change this event announced.
    if (state != NormalState) return;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_display, window.xid, &attributes) || attributes.map_state != IsViewable) return;
    window.iconic = false;
    setInitialState(window, NormalState);
    changeSkipStates(window, true);
    XFlush(m_display);
    win32::onRestored(window.xid);
}

long X11Backend::readWmState(::Window xid) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long state = WithdrawnState;
    if (XGetWindowProperty(m_display, xid, m_wmState, 0, 2, False, m_wmState, &type, &format, &count, &after, &data) ==
            Success &&
        data && format == 32 && count >= 1)
        state = reinterpret_cast<long*>(data)[0];
    if (data) XFree(data);
    return state;
}

bool X11Backend::waitForIconic(const WindowState& window) {
    const auto deadline = std::chrono::steady_clock::now() + kIconifyWait;
    for (;;) {
        XSync(m_display, False);
        if (readWmState(window.xid) == IconicState) return true;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(m_display, window.xid, &attributes) && attributes.map_state == IsUnmapped) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace x11
