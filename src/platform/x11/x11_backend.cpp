// The X11 backend: the display connection, making, showing and destroying
// top-level windows, and the pointer position.
#include "platform/x11/x11_backend.h"

#include <X11/Xatom.h>
#include <X11/extensions/shape.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "platform/x11/wm_quirks.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

// Xlib's default handler ends the process; a drag source or window manager
// that vanishes mid-conversation must not take us with it.
int quietErrorHandler(Display*, XErrorEvent*) { return 0; }

}  // namespace

X11Backend::X11Backend(Display* display)
    : m_display(display), m_screen(DefaultScreen(display)), m_root(RootWindow(display, m_screen)) {
    XSetErrorHandler(quietErrorHandler);
    int shapeEvent = 0, shapeError = 0;
    m_hasShape = XShapeQueryExtension(m_display, &shapeEvent, &shapeError);

    XVisualInfo info;
    if (XMatchVisualInfo(m_display, m_screen, 24, TrueColor, &info)) {
        m_visual = info.visual;
        m_depth = 24;
    } else {
        m_visual = DefaultVisual(m_display, m_screen);
        m_depth = DefaultDepth(m_display, m_screen);
    }
    m_colormap = XCreateColormap(m_display, m_root, m_visual, AllocNone);
    // Under a compositor (Xwayland's included) a shaped window may still be
    // drawn whole, key and all; alpha is what every compositor honours.
    if (XMatchVisualInfo(m_display, m_screen, 32, TrueColor, &info)) {
        m_argbVisual = info.visual;
        m_argbColormap = XCreateColormap(m_display, m_root, m_argbVisual, AllocNone);
    }

    internAtoms(m_display, m_screen, &m_atoms);

    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_pending = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_epoll >= 0 && m_pending >= 0) {
        epoll_event watch{};
        watch.events = EPOLLIN;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, ConnectionNumber(m_display), &watch);
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_pending, &watch);
        m_dropTimer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_dropTimer >= 0) epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_dropTimer, &watch);
    }

    m_quirks = wmQuirks(m_display);
    watchScale();

    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) m_hostname = host;
}

X11Backend::~X11Backend() {
    m_tray.reset();
    for (auto& [xid, window] : m_windows) XDestroyWindow(m_display, xid);
    m_windows.clear();
    if (m_gc) XFreeGC(m_display, m_gc);
    if (m_argbGc) XFreeGC(m_display, m_argbGc);
    if (m_colormap) XFreeColormap(m_display, m_colormap);
    if (m_argbColormap) XFreeColormap(m_display, m_argbColormap);
    XCloseDisplay(m_display);
    if (m_epoll >= 0) close(m_epoll);
    if (m_pending >= 0) close(m_pending);
    if (m_dropTimer >= 0) close(m_dropTimer);
    if (m_settingsTimer >= 0) close(m_settingsTimer);
    if (m_followTimer >= 0) close(m_followTimer);
}

WindowState* X11Backend::find(::Window xid) {
    auto it = m_windows.find(xid);
    return it == m_windows.end() ? nullptr : it->second.get();
}

win32::NativeWindow X11Backend::createWindow(const win32::NativeWindowDesc& desc) {
    if (desc.width <= 0 || desc.height <= 0 || desc.width > 32767 || desc.height > 32767) return 0;

    const bool argb = desc.layered && m_argbVisual;
    XSetWindowAttributes attributes{};
    attributes.colormap = argb ? m_argbColormap : m_colormap;
    attributes.border_pixel = 0;
    attributes.background_pixel = 0;  // clear until painted, on the 32-bit visual
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask |
                            StructureNotifyMask | FocusChangeMask | PropertyChangeMask;
    const int x = desc.placed ? desc.x : 0;
    const int y = desc.placed ? desc.y : 0;
    ::Window xid =
        XCreateWindow(m_display, m_root, x, y, static_cast<unsigned>(desc.width), static_cast<unsigned>(desc.height), 0,
                      argb ? 32 : m_depth, InputOutput, argb ? m_argbVisual : m_visual,
                      CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);
    if (!xid) return 0;
    // A GC serves drawables of the depth it was made for.
    GC& gc = argb ? m_argbGc : m_gc;
    if (!gc) gc = XCreateGC(m_display, xid, 0, nullptr);

    auto state = std::make_unique<WindowState>();
    state->xid = xid;
    state->desc = desc;
    state->width = desc.width;
    state->height = desc.height;
    state->argb = argb;
    state->box = {0, 0, desc.width, desc.height};
    state->xWidth = desc.width;
    state->xHeight = desc.height;
    state->pixels.assign(static_cast<size_t>(desc.width) * desc.height, 0);

    setFixedSizeHints(xid, x, y, desc.width, desc.height, desc.placed ? USPosition | PPosition : 0, true);

    setTitle(xid, desc.title);
    setMotifBorderless(xid);
    setWindowType(xid, desc.popup ? m_atoms.netWmWindowTypePopupMenu : m_atoms.netWmWindowTypeUtility);
    long pid = static_cast<long>(getpid());
    XChangeProperty(m_display, xid, m_atoms.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    Atom protocols[] = {m_atoms.wmDeleteWindow};
    XSetWMProtocols(m_display, xid, protocols, 1);
    if (desc.owner) XSetTransientForHint(m_display, xid, static_cast<::Window>(desc.owner));
    if (desc.acceptFiles) {
        long version = 5;
        XChangeProperty(m_display, xid, m_atoms.xdndAware, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&version), 1);
    }

    if (desc.layered && m_hasShape) {
        // Nothing shows until painted, so that window managers and
        // compositors see no window of the size mapped (see
        // WindowState::resizing). An empty mask is a set shape like any.
        XShapeCombineRectangles(m_display, xid, ShapeBounding, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        XShapeCombineRectangles(m_display, xid, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        state->shapeApplied = true;
        state->showsNothing = true;
    }
    m_windows[xid] = std::move(state);
    return static_cast<win32::NativeWindow>(xid);
}

void X11Backend::destroyWindow(win32::NativeWindow window) {
    auto it = m_windows.find(static_cast<::Window>(window));
    if (it == m_windows.end()) return;
    if (m_move && m_move->window == it->first) {
        XUngrabPointer(m_display, CurrentTime);
        m_move.reset();
    }
    if (m_drag.target == it->first) m_drag = DragState{};
    popupHidden(*it->second);
    destroyPieces(*it->second);
    XDestroyWindow(m_display, it->first);
    m_windows.erase(it);
    XFlush(m_display);
}

void X11Backend::setVisible(win32::NativeWindow window, bool visible) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state) return;
    if (visible) {
        // Window managers drop _NET_WM_STATE when a window is withdrawn.
        setWmState(*state);
        if (state->iconic) changeSkipStates(*state, true);
        setInitialState(*state, NormalState);
        // Shown again where it was hidden, not where the window manager
        // would place a new window.
        if (state->originKnown && !state->iconic) setPosition(window, state->origin, false);
        m_quirks->beforeMap(*state);
        state->iconic = false;
        state->mapSerial = NextRequest(m_display);
        state->mapped = true;
        XMapRaised(m_display, state->xid);
        if (state->desc.popup) popupShown(*state);
    } else {
        if (state->desc.popup) popupHidden(*state);
        if (m_foregroundPending == state->xid) m_foregroundPending = 0;
        state->mapped = false;
        showPieces(*state, false);
        m_quirks->hidden(*state);
        state->resizing = false;  // the next showing's Expose draws it
        XWithdrawWindow(m_display, state->xid, m_screen);
    }
    XFlush(m_display);
}

bool X11Backend::cursorPosition(POINT* screen) {
    ::Window root, child;
    int rootX, rootY, winX, winY;
    unsigned int mask;
    if (!screen || !XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &winX, &winY, &mask)) return false;
    *screen = {rootX, rootY};
    return true;
}

}  // namespace x11

namespace win32 {

Backend* createX11Backend() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    return new x11::X11Backend(display);
}

}  // namespace win32
