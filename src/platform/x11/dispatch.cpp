// The event loop's side of the backend: what the core polls, and each X
// event handed to the concern it belongs to or translated into the upcalls
// of events.h.
#include <unistd.h>

#include <cstdint>

#include "platform/x11/pointer.h"
#include "platform/x11/wm_quirks.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

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
    m_quirks->windowEvent(*window);

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

}  // namespace x11
