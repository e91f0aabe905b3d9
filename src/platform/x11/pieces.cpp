// The pieces of a keyed window that show beyond its box (the hint bubble
// above the strip), each in an override-redirect X window of its own that
// follows the managed one: placed by the client area's origin, shown while
// the managed window is mapped, with its opacity and blur region, and its
// input given to the same window as the managed X window's.
#include <X11/Xatom.h>
#include <unistd.h>

#include "platform/x11/pointer.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

void X11Backend::setPieces(WindowState& window, const std::vector<RECT>& boxes) {
    while (window.pieces.size() > boxes.size()) {
        XDestroyWindow(m_display, window.pieces.back().xid);
        window.pieces.pop_back();
    }
    if (boxes.empty()) return;
    POINT client = window.origin;
    if (!window.originKnown && !rootOrigin(window.xid, &client)) client = {0, 0};
    for (size_t i = 0; i < boxes.size(); ++i) {
        const RECT& box = boxes[i];
        const int x = client.x + box.left, y = client.y + box.top;
        const auto width = static_cast<unsigned>(box.right - box.left);
        const auto height = static_cast<unsigned>(box.bottom - box.top);
        if (i < window.pieces.size()) {
            PieceWindow& piece = window.pieces[i];
            const RECT& old = piece.box;
            if (old.left != box.left || old.top != box.top || old.right != box.right || old.bottom != box.bottom)
                XMoveResizeWindow(m_display, piece.xid, x, y, width, height);
            piece.box = box;
            continue;
        }
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.colormap = window.argb ? m_argbColormap : m_colormap;
        attributes.border_pixel = 0;
        attributes.background_pixel = 0;
        attributes.event_mask =
            ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask;
        PieceWindow piece;
        piece.box = box;
        piece.xid =
            XCreateWindow(m_display, m_root, x, y, width, height, 0, window.argb ? 32 : m_depth, InputOutput,
                          window.argb ? m_argbVisual : m_visual,
                          CWOverrideRedirect | CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);
        if (!piece.xid) continue;
        // For compositors: the same kind of window, of the same program.
        setWindowType(piece.xid, window.desc.popup ? m_atoms.netWmWindowTypePopupMenu : m_atoms.netWmWindowTypeUtility);
        XSetTransientForHint(m_display, piece.xid, window.xid);
        long pid = static_cast<long>(getpid());
        XChangeProperty(m_display, piece.xid, m_atoms.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&pid), 1);
        if (window.opacitySet) sendOpacity(window, piece.xid);
        window.pieces.push_back(piece);
    }
    for (const PieceWindow& piece : window.pieces) sendBlurRegion(window, piece.xid, piece.box);
}

void X11Backend::placePieces(WindowState& window) {
    for (const PieceWindow& piece : window.pieces)
        XMoveWindow(m_display, piece.xid, window.origin.x + piece.box.left, window.origin.y + piece.box.top);
}

void X11Backend::showPieces(WindowState& window, bool shown) {
    for (PieceWindow& piece : window.pieces) {
        if (piece.mapped == shown) continue;
        piece.mapped = shown;
        if (shown)
            XMapRaised(m_display, piece.xid);
        else
            XUnmapWindow(m_display, piece.xid);
    }
}

void X11Backend::destroyPieces(WindowState& window) {
    for (const PieceWindow& piece : window.pieces) XDestroyWindow(m_display, piece.xid);
    window.pieces.clear();
}

WindowState* X11Backend::findPieceOwner(::Window xid, PieceWindow** found) {
    for (auto& [owner, window] : m_windows) {
        for (PieceWindow& piece : window->pieces) {
            if (piece.xid != xid) continue;
            *found = &piece;
            return window.get();
        }
    }
    return nullptr;
}

bool X11Backend::overOtherPiece(const WindowState& window, ::Window leaving, int x, int y) {
    if (window.pieces.empty() || !window.originKnown) return false;
    const int cx = x - window.origin.x, cy = y - window.origin.y;
    auto over = [&](::Window xid, const RECT& box) {
        if (xid == leaving || cx < box.left || cx >= box.right || cy < box.top || cy >= box.bottom) return false;
        const ShapeMask& shape = window.shape;
        return !window.shapeApplied || (cx < shape.width && cy < shape.height && shape.opaqueAt(cx, cy));
    };
    if (over(window.xid, window.box)) return true;
    for (const PieceWindow& piece : window.pieces)
        if (over(piece.xid, piece.box)) return true;
    return false;
}

bool X11Backend::handlePieceEvent(const XEvent& event) {
    PieceWindow* piece = nullptr;
    WindowState* window = findPieceOwner(event.xany.window, &piece);
    if (!window) return false;
    // Input in client coordinates, as over the managed X window.
    auto inClient = [&](win32::PointerEvent pointer) {
        if (window->originKnown) {
            pointer.client = {pointer.screen.x - window->origin.x, pointer.screen.y - window->origin.y};
        } else {
            pointer.client.x += piece->box.left;
            pointer.client.y += piece->box.top;
        }
        return pointer;
    };
    switch (event.type) {
    case Expose:
        putArea(*window, piece->box.left + event.xexpose.x, piece->box.top + event.xexpose.y, event.xexpose.width,
                event.xexpose.height);
        break;
    case ButtonPress:
    case ButtonRelease: {
        m_lastTime = event.xbutton.time;
        win32::PointerEvent pointer;
        if (pointerFromButton(event.xbutton, &pointer)) win32::onPointer(window->xid, inClient(pointer));
        break;
    }
    case MotionNotify:
        m_lastTime = event.xmotion.time;
        win32::onPointer(window->xid, inClient(pointerFromMotion(event.xmotion)));
        break;
    case LeaveNotify:
        if (event.xcrossing.mode != NotifyNormal || event.xcrossing.detail == NotifyInferior) break;
        if (overOtherPiece(*window, piece->xid, event.xcrossing.x_root, event.xcrossing.y_root)) break;
        m_lastTime = event.xcrossing.time;
        win32::onPointerLeft(window->xid, inClient(pointerFromCrossing(event.xcrossing)));
        break;
    default: break;
    }
    return true;
}

}  // namespace x11
