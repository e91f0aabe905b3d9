// What a compositor is told of a window: its opacity and the region to blur
// behind it; and whether one runs.
#include <X11/Xatom.h>

#include <algorithm>

#include "platform/x11/x11_internal.h"

namespace x11 {

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

}  // namespace x11
