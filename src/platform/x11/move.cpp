// The system move: the window manager's _NET_WM_MOVERESIZE when it offers
// one, else a pointer grab that moves the window by the pointer's travel.
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {
constexpr long kMoveResizeMove = 8;
}

void X11Backend::startSystemMove(win32::NativeWindow window, POINT screen) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state || m_move) return;

    // The move is asked for after the press has gone through the queue; if
    // the button is already up there is nothing to follow, and a window
    // manager would wait for a release that never comes.
    ::Window root, child;
    int rootX, rootY, winX, winY;
    unsigned int mask = 0;
    if (!XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &winX, &winY, &mask) || !(mask & Button1Mask))
        return;

    if (wmSupports(m_atoms.netWmMoveresize)) {
        // End the press's implicit grab so the window manager can take the pointer.
        XUngrabPointer(m_display, CurrentTime);
        sendToRoot(state->xid, m_atoms.netWmMoveresize, screen.x, screen.y, kMoveResizeMove, 1 /* button */,
                   1 /* from an application */);
        XFlush(m_display);
        return;
    }

    POINT origin;
    if (!rootOrigin(state->xid, &origin)) return;
    if (XGrabPointer(m_display, state->xid, False, ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                     None, None, CurrentTime) != GrabSuccess)
        return;
    m_move = std::make_unique<MoveState>();
    m_move->window = state->xid;
    m_move->startPointer = screen;
    m_move->startOrigin = origin;
    XFlush(m_display);
}

bool X11Backend::handleMoveEvent(const XEvent& event) {
    if (!m_move) return false;
    if (event.type != MotionNotify && event.type != ButtonRelease) return false;
    WindowState* state = find(m_move->window);
    if (!state) {
        m_move.reset();
        return false;
    }
    const int rootX = event.type == MotionNotify ? event.xmotion.x_root : event.xbutton.x_root;
    const int rootY = event.type == MotionNotify ? event.xmotion.y_root : event.xbutton.y_root;
    // The origin is the client area's; the X window starts at its box.
    XMoveWindow(m_display, state->xid, m_move->startOrigin.x + state->box.left + rootX - m_move->startPointer.x,
                m_move->startOrigin.y + state->box.top + rootY - m_move->startPointer.y);
    if (event.type == ButtonRelease && event.xbutton.button == Button1) {
        XUngrabPointer(m_display, event.xbutton.time);
        m_move.reset();
    }
    XFlush(m_display);
    return true;
}

}  // namespace x11
