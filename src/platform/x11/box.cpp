// The X window as the visible part of a larger client area (see
// WindowState::box): moving and resizing it as what shows changes, the
// client area staying where the core put it.
#include "platform/x11/x11_internal.h"

namespace x11 {

void X11Backend::setBox(WindowState& window, const RECT& box) {
    const RECT& old = window.box;
    if (box.left == old.left && box.top == old.top && box.right == old.right && box.bottom == old.bottom) return;
    POINT client = window.origin;
    // Read before the box changes: the X window's place still holds the old one.
    if (!window.originKnown && !rootOrigin(window.xid, &client)) client = {0, 0};
    window.box = box;
    const int x = client.x + box.left;
    const int y = client.y + box.top;
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;

    // The window manager holds the window to the size hints, and places it
    // at the hinted position when it maps it again: both follow the box.
    XSizeHints* size = XAllocSizeHints();
    long supplied = 0;
    XGetWMNormalHints(m_display, window.xid, size, &supplied);
    size->flags |= PSize | PMinSize | PMaxSize;
    size->width = size->min_width = size->max_width = width;
    size->height = size->min_height = size->max_height = height;
    size->x = x;
    size->y = y;
    XSetWMNormalHints(m_display, window.xid, size);
    XFree(size);
    XMoveResizeWindow(m_display, window.xid, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
}

void X11Backend::fitBoxToShape(WindowState& window) {
    const RECT shown = opaqueBounds(window.shape);
    // With nothing to show the window keeps its rectangle: a window manager
    // places a new window by the size it is mapped with.
    if (shown.right <= shown.left || shown.bottom <= shown.top) return;
    setBox(window, shown);
}

void X11Backend::onBoxPointer(const WindowState& window, win32::PointerEvent pointer) {
    pointer.client.x += window.box.left;
    pointer.client.y += window.box.top;
    win32::onPointer(window.xid, pointer);
}

}  // namespace x11
