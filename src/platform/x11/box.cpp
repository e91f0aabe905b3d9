// The X window as the visible part of a larger client area (see
// WindowState::box): moving and resizing it as what shows changes, the
// client area staying where the core put it. Under sway, which centres a
// floating X window on every request to move or resize it, through sway's
// own socket instead.
#include "platform/x11/shown_pieces.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

// How long a resize may wait for the window manager before drawing goes on.
constexpr std::chrono::milliseconds kResizeWait{500};
// The see-through area (device pixels) an X window more must save.
constexpr long kPieceCost = 64 * 64;

void X11Backend::setBox(WindowState& window, const RECT& box) {
    const RECT& old = window.box;
    if (box.left == old.left && box.top == old.top && box.right == old.right && box.bottom == old.bottom) return;
    // Against the size the server last reported, not the last box asked
    // for: a request the window manager dropped leaves the X window as it was.
    const bool resized = box.right - box.left != window.xWidth || box.bottom - box.top != window.xHeight;
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
    window.placeSerial = NextRequest(m_display);
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
    // Without a window manager the server resizes it before what is drawn next.
    if (resized && window.mapped && (m_sway || wmRunning())) {
        window.resizing = true;
        window.resizeUntil = std::chrono::steady_clock::now() + kResizeWait;
    }
    placeXWindow(window, x, y, width, height);
    if (window.blurSet) sendBlurRegion(window);
}

void X11Backend::sizeReported(WindowState& window, int width, int height) {
    const bool changed = width != window.xWidth || height != window.xHeight;
    window.xWidth = width;
    window.xHeight = height;
    // A window manager may hold the window to a size of its own (sway to
    // its least floating height): any new size is its answer, and so is the
    // size asked for, even when the window had it already.
    const RECT& asked = window.box;
    const bool asAsked = width == asked.right - asked.left && height == asked.bottom - asked.top;
    if (!window.resizing || !(changed || asAsked)) return;
    window.resizing = false;
    const RECT& box = window.box;
    putArea(window, box.left, box.top, box.right - box.left, box.bottom - box.top);
}

void X11Backend::placeXWindow(WindowState& window, int x, int y, int width, int height) {
    if (window.mapped && swayRun(window, swayGeometry(x, y, width, height))) return;
    XMoveResizeWindow(m_display, window.xid, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
}

std::string X11Backend::swayGeometry(int x, int y, int width, int height) {
    return "resize set width " + std::to_string(width) + " px height " + std::to_string(height) +
           " px, move absolute position " + std::to_string(x) + " " + std::to_string(y);
}

bool X11Backend::swayRun(const WindowState& window, const std::string& commands) {
    if (!m_sway) return false;
    // What was asked before (the size hints among it) reaches the server
    // first, so sway's configure comes after it and its events count.
    XSync(m_display, False);
    return m_sway->run("[id=" + std::to_string(window.xid) + "] " + commands);
}

bool X11Backend::boxesMove() {
    // We move it ourselves with no window manager, and sway through its
    // socket. Window managers that move a managed window at a client's
    // request say so with _NET_MOVERESIZE_WINDOW; others (weston's) resize a
    // mapped window as asked but leave it where it was, so what shows would
    // move with the box.
    return m_sway || !wmRunning() || wmSupports(m_atoms.netMoveresizeWindow);
}

void X11Backend::fitBoxToShape(WindowState& window) {
    if (!boxesMove()) {
        destroyPieces(window);
        setBox(window, RECT{0, 0, window.width, window.height});
        return;
    }
    std::vector<RECT> shown = shownPieces(window.shape, kPieceCost);
    // With nothing to show the window keeps its rectangle: a window manager
    // places a new window by the size it is mapped with.
    const int largest = largestPiece(shown);
    if (largest < 0) {
        destroyPieces(window);
        return;
    }
    // The managed X window keeps the largest piece, the strip: what shows
    // and goes above it (the bubble) changes no box the window manager
    // holds, nor the one a move it began is read against.
    const RECT box = shown[largest];
    shown.erase(shown.begin() + largest);
    setPieces(window, shown);
    setBox(window, box);
}

void X11Backend::swayAfterMap(WindowState& window) {
    if (std::chrono::steady_clock::now() > window.swayAfterMapUntil) {
        window.swayAfterMap = false;
        return;
    }
    // Until sway has taken the window as its own a command finds nothing;
    // any event of the window's may be the first after that.
    std::string commands;
    if (window.placeAfterMap) {
        const RECT& box = window.box;
        commands = swayGeometry(window.origin.x + box.left, window.origin.y + box.top, box.right - box.left,
                                box.bottom - box.top);
    }
    // sway keeps no window on every workspace for the hints.
    if (onEveryWorkspace(window)) commands += commands.empty() ? "sticky enable" : ", sticky enable";
    if (!commands.empty() && !swayRun(window, commands)) return;
    window.swayAfterMap = false;
}

win32::PointerEvent X11Backend::inClient(const WindowState& window, win32::PointerEvent pointer) {
    // The event's window coordinates belong to the box the X window had when
    // the pointer moved, maybe not the latest one asked for; its root
    // coordinates and the client area's place hold either way.
    if (window.originKnown) {
        pointer.client = {pointer.screen.x - window.origin.x, pointer.screen.y - window.origin.y};
    } else {
        pointer.client.x += window.box.left;
        pointer.client.y += window.box.top;
    }
    return pointer;
}

}  // namespace x11
