// The X window as the visible part of a larger client area (see
// WindowState::box): moving and resizing it as what shows changes, the
// client area staying where the core put it (a window manager's quirks may
// move it their own way); and the client area's place on the root, as the
// core sets it and as the window manager reports it.
#include "platform/x11/shown_pieces.h"
#include "platform/x11/wm_quirks.h"
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
    if (resized && window.mapped && (m_quirks->placesWindows() || wmRunning())) {
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
    if (window.mapped && m_quirks->place(window, x, y, width, height)) return;
    XMoveResizeWindow(m_display, window.xid, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
}

bool X11Backend::boxesMove() {
    // We move it ourselves with no window manager, and a quirky one its own
    // way. Window managers that move a managed window at a client's
    // request say so with _NET_MOVERESIZE_WINDOW; others (weston's) resize a
    // mapped window as asked but leave it where it was, so what shows would
    // move with the box.
    return m_quirks->placesWindows() || !wmRunning() || wmSupports(m_atoms.netMoveresizeWindow);
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
    if (m_quirks->holdsOrigin(window)) return;
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

}  // namespace x11
