// The X11 backend: the display connection, top-level windows and their
// window-manager hints (Motif, EWMH, ICCCM), event translation into the
// upcalls of events.h, the icon, blur-behind region, composition detection,
// activation and the pointer position.
#include "platform/x11/x11_backend.h"

#include <X11/Xatom.h>
#include <X11/extensions/shape.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/x11/icon.h"
#include "platform/x11/pointer.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

// Xlib's default handler ends the process; a drag source or window manager
// that vanishes mid-conversation must not take us with it.
int quietErrorHandler(Display*, XErrorEvent*) { return 0; }

// How long sway may take to show a window mapped.
constexpr auto kSwayMapTime = std::chrono::seconds(2);

std::string programName() {
    std::string name = program_invocation_short_name ? program_invocation_short_name : "";
    return name.empty() ? std::string("ostrel") : name;
}

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

    struct Name {
        Atom* atom;
        const char* name;
    };
    std::string cmName = "_NET_WM_CM_S" + std::to_string(m_screen);
    std::string xsettingsName = "_XSETTINGS_S" + std::to_string(m_screen);
    Atoms& a = m_atoms;
    const Name names[] = {
        {&a.wmProtocols, "WM_PROTOCOLS"},
        {&a.wmDeleteWindow, "WM_DELETE_WINDOW"},
        {&a.wmTransientFor, "WM_TRANSIENT_FOR"},
        {&a.utf8String, "UTF8_STRING"},
        {&a.netWmName, "_NET_WM_NAME"},
        {&a.netWmPid, "_NET_WM_PID"},
        {&a.netWmState, "_NET_WM_STATE"},
        {&a.netWmStateAbove, "_NET_WM_STATE_ABOVE"},
        {&a.netWmStateSkipTaskbar, "_NET_WM_STATE_SKIP_TASKBAR"},
        {&a.netWmStateSkipPager, "_NET_WM_STATE_SKIP_PAGER"},
        {&a.netWmStateModal, "_NET_WM_STATE_MODAL"},
        {&a.netWmStateSticky, "_NET_WM_STATE_STICKY"},
        {&a.netWmDesktop, "_NET_WM_DESKTOP"},
        {&a.netWmWindowType, "_NET_WM_WINDOW_TYPE"},
        {&a.netWmWindowTypeUtility, "_NET_WM_WINDOW_TYPE_UTILITY"},
        {&a.netWmWindowTypePopupMenu, "_NET_WM_WINDOW_TYPE_POPUP_MENU"},
        {&a.netWmWindowTypeDialog, "_NET_WM_WINDOW_TYPE_DIALOG"},
        {&a.netSupported, "_NET_SUPPORTED"},
        {&a.netSupportingWmCheck, "_NET_SUPPORTING_WM_CHECK"},
        {&a.netWmMoveresize, "_NET_WM_MOVERESIZE"},
        {&a.netMoveresizeWindow, "_NET_MOVERESIZE_WINDOW"},
        {&a.netActiveWindow, "_NET_ACTIVE_WINDOW"},
        {&a.netWmIcon, "_NET_WM_ICON"},
        {&a.netWmWindowOpacity, "_NET_WM_WINDOW_OPACITY"},
        {&a.motifWmHints, "_MOTIF_WM_HINTS"},
        {&a.kdeBlurBehindRegion, "_KDE_NET_WM_BLUR_BEHIND_REGION"},
        {&a.netWmCmS, cmName.c_str()},
        {&a.xdndAware, "XdndAware"},
        {&a.xdndEnter, "XdndEnter"},
        {&a.xdndPosition, "XdndPosition"},
        {&a.xdndStatus, "XdndStatus"},
        {&a.xdndLeave, "XdndLeave"},
        {&a.xdndDrop, "XdndDrop"},
        {&a.xdndFinished, "XdndFinished"},
        {&a.xdndSelection, "XdndSelection"},
        {&a.xdndTypeList, "XdndTypeList"},
        {&a.xdndActionCopy, "XdndActionCopy"},
        {&a.uriList, "text/uri-list"},
        {&a.dropProperty, "OSTREL_DROP"},
        {&a.incr, "INCR"},
        {&a.xsettingsSelection, xsettingsName.c_str()},
        {&a.xsettingsSettings, "_XSETTINGS_SETTINGS"},
        {&a.manager, "MANAGER"},
    };
    // One request and one reply for them all, not a round trip each.
    constexpr int kCount = static_cast<int>(sizeof names / sizeof names[0]);
    char* nameList[kCount];
    Atom atoms[kCount] = {};
    for (int i = 0; i < kCount; ++i) nameList[i] = const_cast<char*>(names[i].name);
    XInternAtoms(m_display, nameList, kCount, False, atoms);
    for (int i = 0; i < kCount; ++i) *names[i].atom = atoms[i];

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

    m_sway = SwayIpc::connect();
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
        state->swayAfterMap = m_sway != nullptr;
        state->placeAfterMap = state->originKnown && !state->iconic;
        state->swayAfterMapUntil = std::chrono::steady_clock::now() + kSwayMapTime;
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
        state->swayAfterMap = false;
        state->resizing = false;  // the next showing's Expose draws it
        XWithdrawWindow(m_display, state->xid, m_screen);
    }
    XFlush(m_display);
}

void X11Backend::setWmState(WindowState& window) {
    std::vector<Atom> states;
    if (window.desc.topmost) states.push_back(m_atoms.netWmStateAbove);
    if (window.desc.toolWindow) {
        states.push_back(m_atoms.netWmStateSkipTaskbar);
        states.push_back(m_atoms.netWmStateSkipPager);
    }
    // A window kept above all others belongs to every workspace, as one
    // expects of a player strip; window managers without workspaces ignore it.
    if (onEveryWorkspace(window)) {
        states.push_back(m_atoms.netWmStateSticky);
        unsigned long everyDesktop = 0xFFFFFFFFu;
        XChangeProperty(m_display, window.xid, m_atoms.netWmDesktop, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&everyDesktop), 1);
    }
    if (states.empty()) {
        XDeleteProperty(m_display, window.xid, m_atoms.netWmState);
        return;
    }
    XChangeProperty(m_display, window.xid, m_atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(states.data()), static_cast<int>(states.size()));
}

void X11Backend::setTitle(::Window xid, const std::string& title) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
    const int length = static_cast<int>(title.size());
    XChangeProperty(m_display, xid, m_atoms.netWmName, m_atoms.utf8String, 8, PropModeReplace, bytes, length);
    bool ascii = true;
    for (unsigned char c : title) ascii = ascii && c < 0x80;
    // WM_NAME is Latin-1 by type STRING; non-ASCII titles go as UTF8_STRING,
    // which current window managers read.
    XChangeProperty(m_display, xid, XA_WM_NAME, ascii ? XA_STRING : m_atoms.utf8String, 8, PropModeReplace, bytes,
                    length);
}

void X11Backend::setWindowType(::Window xid, Atom type) {
    XChangeProperty(m_display, xid, m_atoms.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
}

void X11Backend::setMotifBorderless(::Window xid) {
    long hints[5] = {2 /* decorations field valid */, 0, 0 /* no decorations */, 0, 0};
    XChangeProperty(m_display, xid, m_atoms.motifWmHints, m_atoms.motifWmHints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(hints), 5);
}

int X11Backend::eventFd() { return m_epoll >= 0 && m_pending >= 0 ? m_epoll : ConnectionNumber(m_display); }

void X11Backend::flush() {
    XFlush(m_display);
    // Any request written since processEvents may have pulled events off the
    // socket into Xlib's queue, where a poll on the socket cannot see them.
    if (m_pending >= 0 && XEventsQueued(m_display, QueuedAfterReading) > 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = write(m_pending, &one, sizeof one);
    }
}

void X11Backend::processEvents() {
    if (m_foregroundPending) activatePending();
    if (m_pending >= 0) {
        std::uint64_t count;
        [[maybe_unused]] auto got = read(m_pending, &count, sizeof count);
    }
    // Drain the socket as well as Xlib's queue: an event left in the queue
    // would not wake the caller's poll.
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        dispatch(event);
    }
    if (m_tray) m_tray->processTimers();
    xdndDataTimer();
    settingsTimer();
    followLeftPointer();
    XFlush(m_display);
}

void X11Backend::dispatch(XEvent& event) {
    scaleEvent(event);
    if (handleMoveEvent(event)) return;
    if (handlePopupEvent(event)) return;
    if (m_tray && m_tray->handleEvent(event)) return;
    if (handlePieceEvent(event)) return;
    if (event.type == ConfigureNotify || event.type == MapNotify) {
        // The frame's own place is the window's too.
        if (WindowState* framed = findByFrame(event.xany.window)) {
            reportOrigin(*framed, event.xany.serial);
            return;
        }
    }
    WindowState* window = find(event.xany.window);
    if (!window) return;
    if (window->swayAfterMap) swayAfterMap(*window);

    switch (event.type) {
    case Expose:
        putArea(*window, window->box.left + event.xexpose.x, window->box.top + event.xexpose.y, event.xexpose.width,
                event.xexpose.height);
        break;
    case ButtonPress:
    case ButtonRelease: {
        m_lastTime = event.xbutton.time;
        win32::PointerEvent pointer;
        if (pointerFromButton(event.xbutton, &pointer)) win32::onPointer(window->xid, inClient(*window, pointer));
        break;
    }
    case MotionNotify:
        m_lastTime = event.xmotion.time;
        win32::onPointer(window->xid, inClient(*window, pointerFromMotion(event.xmotion)));
        break;
    case LeaveNotify:
        // The pointer's own way out of the window's shape; not a grab that
        // starts or ends, nor a move into a child window.
        if (event.xcrossing.mode != NotifyNormal || event.xcrossing.detail == NotifyInferior) break;
        if (overOtherPiece(*window, window->xid, event.xcrossing.x_root, event.xcrossing.y_root)) break;
        m_lastTime = event.xcrossing.time;
        pointerLeft(*window, event.xcrossing);
        break;
    case ConfigureNotify:
        sizeReported(*window, event.xconfigure.width, event.xconfigure.height);
        reportOrigin(*window, event.xany.serial);
        break;
    case ReparentNotify:
        watchFrame(*window, event.xreparent.parent);
        reportOrigin(*window, event.xany.serial);
        break;
    case MapNotify:
        window->onScreen = true;
        showPieces(*window, true);
        reportOrigin(*window, event.xany.serial);
        break;
    case UnmapNotify:
        window->onScreen = false;
        showPieces(*window, false);
        break;
    case FocusOut: {
        const XFocusChangeEvent& f = event.xfocus;
        if (f.mode == NotifyGrab || f.mode == NotifyUngrab) break;
        if (f.detail == NotifyInferior || f.detail == NotifyPointer) break;
        // Losing the focus by being hidden, or before the latest showing,
        // is no deactivation of what shows now.
        if (!window->mapped || f.serial < window->mapSerial) break;
        win32::onDeactivated(window->xid);
        break;
    }
    case ClientMessage: handleClientMessage(*window, event.xclient); break;
    case SelectionNotify: xdndSelectionNotify(*window, event.xselection); break;
    case PropertyNotify:
        m_lastTime = event.xproperty.time;
        xdndPropertyNotify(*window, event.xproperty);
        iconicPropertyNotify(*window, event.xproperty);
        break;
    default: break;
    }
}

void X11Backend::handleClientMessage(WindowState& window, const XClientMessageEvent& event) {
    if (event.format != 32) return;
    const Atom type = event.message_type;
    if (type == m_atoms.wmProtocols) {
        if (static_cast<Atom>(event.data.l[0]) == m_atoms.wmDeleteWindow) win32::onCloseRequest(window.xid);
    } else if (type == m_atoms.xdndEnter) {
        xdndEnter(window, event);
    } else if (type == m_atoms.xdndPosition) {
        xdndPosition(window, event);
    } else if (type == m_atoms.xdndDrop) {
        xdndDrop(window, event);
    } else if (type == m_atoms.xdndLeave) {
        xdndLeave(event);
    }
}

bool X11Backend::rootOrigin(::Window xid, POINT* origin) {
    const WindowState* window = find(xid);
    const int left = window ? static_cast<int>(window->box.left) : 0;
    const int top = window ? static_cast<int>(window->box.top) : 0;
    int x = 0, y = 0;
    ::Window child;
    if (!XTranslateCoordinates(m_display, xid, m_root, -left, -top, &x, &y, &child)) return false;
    *origin = {x, y};
    return true;
}

void X11Backend::reportOrigin(WindowState& window, unsigned long serial) {
    // Until then the window shows at sway's place, not one the person chose.
    if (window.swayAfterMap && window.placeAfterMap) return;
    // Events from before the window was last placed tell nothing new. (Window
    // managers may hold a window to a size of their own, so the size in an
    // event cannot tell which box it shows.)
    if (serial < window.placeSerial) return;
    // A pop-up is where the program put it: nothing else moves a menu. A
    // window manager that places it on map, before taking the move asked
    // for just then, would otherwise have it follow that passing place.
    if (window.desc.popup && window.desc.placed) return;
    // Under a reparenting window manager the event's coordinates are relative
    // to the frame, so ask the server where the window lies on the root.
    POINT origin;
    if (!rootOrigin(window.xid, &origin)) return;
    if (window.originKnown && origin.x == window.origin.x && origin.y == window.origin.y) return;
    window.originKnown = true;
    window.origin = origin;
    placePieces(window);
    win32::onMoved(window.xid, origin);
}

void X11Backend::watchFrame(WindowState& window, ::Window parent) {
    // The frame's events are selected before the place is read, so any move
    // of it after that read is heard of.
    window.frame = parent == m_root ? 0 : parent;
    if (window.frame) XSelectInput(m_display, window.frame, StructureNotifyMask);
}

WindowState* X11Backend::findByFrame(::Window frame) {
    if (!frame) return nullptr;
    for (auto& [xid, window] : m_windows)
        if (window->frame == frame) return window.get();
    return nullptr;
}

bool X11Backend::wmRunning() {
    auto readWindow = [&](::Window on, ::Window* out) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        bool ok = XGetWindowProperty(m_display, on, m_atoms.netSupportingWmCheck, 0, 1, False, XA_WINDOW, &type,
                                     &format, &count, &after, &data) == Success &&
                  type == XA_WINDOW && format == 32 && count == 1;
        if (ok) *out = static_cast<::Window>(reinterpret_cast<unsigned long*>(data)[0]);
        if (data) XFree(data);
        return ok;
    };
    // The check window names itself only while its window manager runs.
    ::Window check = 0, self = 0;
    return readWindow(m_root, &check) && readWindow(check, &self) && self == check;
}

bool X11Backend::wmSupports(Atom feature) {
    if (!wmRunning()) return false;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(m_display, m_root, m_atoms.netSupported, 0, 4096, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        type == XA_ATOM && format == 32) {
        const auto* atoms = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == feature;
    }
    if (data) XFree(data);
    return found;
}

void X11Backend::setFixedSizeHints(::Window xid, int x, int y, int width, int height, long positionFlags,
                                   bool withClass) {
    XSizeHints* size = XAllocSizeHints();
    size->flags = PSize | PMinSize | PMaxSize | positionFlags;
    size->x = x;
    size->y = y;
    size->width = size->min_width = size->max_width = width;
    size->height = size->min_height = size->max_height = height;
    XWMHints* wm = XAllocWMHints();
    wm->flags = InputHint | StateHint;
    wm->input = True;
    wm->initial_state = NormalState;
    XClassHint* classHint = nullptr;
    std::string resName = programName();
    std::string resClass = resName;
    if (withClass) {
        resClass[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(resClass[0])));
        classHint = XAllocClassHint();
        classHint->res_name = resName.data();
        classHint->res_class = resClass.data();
    }
    XSetWMProperties(m_display, xid, nullptr, nullptr, nullptr, 0, size, wm, classHint);
    XFree(size);
    XFree(wm);
    if (classHint) XFree(classHint);
}

void X11Backend::sendClientMessage(::Window destination, long mask, ::Window about, Atom type, long l0, long l1,
                                   long l2, long l3, long l4) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = about;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(m_display, destination, False, mask, &event);
}

void X11Backend::sendToRoot(::Window about, Atom type, long l0, long l1, long l2, long l3, long l4) {
    sendClientMessage(m_root, SubstructureRedirectMask | SubstructureNotifyMask, about, type, l0, l1, l2, l3, l4);
}

void X11Backend::setIcon(win32::NativeWindow window, int width, int height, const std::vector<std::uint32_t>& argb) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state) return;
    std::vector<unsigned long> property = iconProperty(width, height, argb);
    if (property.empty()) return;
    XChangeProperty(m_display, state->xid, m_atoms.netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(property.data()), static_cast<int>(property.size()));
    XFlush(m_display);
}

void X11Backend::setForeground(win32::NativeWindow window) {
    // Asked on the loop's next turn: whether a window manager takes the
    // request is read with round trips, which the first paint of a window
    // just shown need not wait for.
    m_foregroundPending = static_cast<::Window>(window);
}

void X11Backend::activatePending() {
    WindowState* state = find(std::exchange(m_foregroundPending, 0));
    if (!state) return;
    if (wmSupports(m_atoms.netActiveWindow)) {
        sendToRoot(state->xid, m_atoms.netActiveWindow, 1 /* from an application */, static_cast<long>(m_lastTime), 0,
                   0, 0);
    } else {
        XRaiseWindow(m_display, state->xid);
        XWindowAttributes attributes;
        // Focusing an unmapped window is an error.
        if (XGetWindowAttributes(m_display, state->xid, &attributes) && attributes.map_state == IsViewable)
            XSetInputFocus(m_display, state->xid, RevertToParent, CurrentTime);
    }
    XFlush(m_display);
}

void X11Backend::setPosition(win32::NativeWindow window, POINT screen, bool raise) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state) return;
    // The hints tell a window manager the position is the program's choice,
    // not one to improve on at the next map.
    XSizeHints* size = XAllocSizeHints();
    long supplied = 0;
    XGetWMNormalHints(m_display, state->xid, size, &supplied);
    const int x = screen.x + state->box.left;
    const int y = screen.y + state->box.top;
    size->flags |= USPosition | PPosition;
    size->x = x;
    size->y = y;
    state->placeSerial = NextRequest(m_display);
    XSetWMNormalHints(m_display, state->xid, size);
    XFree(size);
    placeXWindow(*state, x, y, state->box.right - state->box.left, state->box.bottom - state->box.top);
    if (raise) XRaiseWindow(m_display, state->xid);
    state->desc.placed = true;
    // Where a later showing puts it back.
    state->origin = screen;
    state->originKnown = true;
    placePieces(*state);
    XFlush(m_display);
}

void X11Backend::setSize(win32::NativeWindow window, int width, int height) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state || width <= 0 || height <= 0 || width > 32767 || height > 32767) return;
    setBox(*state, RECT{0, 0, width, height});
    state->width = width;
    state->height = height;
    state->pixels.assign(static_cast<size_t>(width) * height, 0);
    // Until its next present a keyed window of the new size shows nothing.
    if (state->colorKey && m_hasShape) {
        state->shapeApplied = false;
        updateShape(*state, 0, height);
    }
    XFlush(m_display);
}

void X11Backend::setOpacity(win32::NativeWindow window, double opacity) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state) return;
    state->opacitySet = opacity < 1.0;  // NaN too: opaque is the harmless reading
    state->opacity = state->opacitySet && opacity > 0.0 ? static_cast<unsigned long>(opacity * 0xFFFFFFFFu) : 0;
    sendOpacity(*state, state->xid);
    for (const PieceWindow& piece : state->pieces) sendOpacity(*state, piece.xid);
    XFlush(m_display);
}

void X11Backend::sendOpacity(const WindowState& window, ::Window xid) {
    if (!window.opacitySet) {
        XDeleteProperty(m_display, xid, m_atoms.netWmWindowOpacity);
        return;
    }
    unsigned long value = window.opacity;
    XChangeProperty(m_display, xid, m_atoms.netWmWindowOpacity, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&value), 1);
}

bool X11Backend::compositionEnabled() { return XGetSelectionOwner(m_display, m_atoms.netWmCmS) != None; }

void X11Backend::setBlurRegion(win32::NativeWindow window, const std::vector<RECT>& rects) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state) return;
    state->blurSet = true;
    state->blur = rects;
    sendBlurRegion(*state);
    XFlush(m_display);
}

void X11Backend::sendBlurRegion(const WindowState& window) {
    sendBlurRegion(window, window.xid, window.box);
    for (const PieceWindow& piece : window.pieces) sendBlurRegion(window, piece.xid, piece.box);
}

void X11Backend::sendBlurRegion(const WindowState& window, ::Window xid, const RECT& box) {
    if (!window.blurSet) return;
    std::vector<unsigned long> values;
    for (const RECT& r : window.blur) {
        // What lies outside the X window is not on screen to blur.
        const LONG left = std::max(r.left, box.left), right = std::min(r.right, box.right);
        const LONG top = std::max(r.top, box.top), bottom = std::min(r.bottom, box.bottom);
        if (right <= left || bottom <= top) continue;
        values.push_back(static_cast<unsigned long>(left - box.left));
        values.push_back(static_cast<unsigned long>(top - box.top));
        values.push_back(static_cast<unsigned long>(right - left));
        values.push_back(static_cast<unsigned long>(bottom - top));
    }
    if (values.empty()) {
        XDeleteProperty(m_display, xid, m_atoms.kdeBlurBehindRegion);
    } else {
        XChangeProperty(m_display, xid, m_atoms.kdeBlurBehindRegion, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(values.data()), static_cast<int>(values.size()));
    }
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
