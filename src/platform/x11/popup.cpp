// Pop-up (menu) windows and their deactivation. Under a window manager a
// pop-up is a managed window like the strip: it takes the focus when shown,
// and losing the focus to another window is its deactivation (FocusOut in
// x11_backend.cpp). With no window manager nothing moves the focus on a
// click, so while a pop-up shows it holds an active pointer grab that still
// reports events over our own windows to them: a press anywhere outside the
// pop-up deactivates it. A press on another program's window is swallowed
// by the grab; that program does not see it.
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

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
    if (m_popupGrab != window.xid) return;
    XUngrabPointer(m_display, CurrentTime);
    m_popupGrab = 0;
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
