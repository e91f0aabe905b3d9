// Putting window pixels on screen and the colour key as an XShape bounding
// and input shape, and on a 32-bit visual as alpha too: compositors draw a
// shaped window's frame (Xwayland's window manager draws it with a shadow)
// or ignore the shape, and only alpha leaves the keyed pixels see-through
// there. Pointer input still follows the shape.
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstring>

#include "platform/x11/put_image.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

std::pair<int, int> copyChanged(const std::uint32_t* from, std::uint32_t* to, int count) {
    int first = 0;
    while (first < count && from[first] == to[first]) ++first;
    if (first == count) return {0, 0};
    int end = count;
    while (from[end - 1] == to[end - 1]) --end;
    std::memcpy(to + first, from + first, static_cast<size_t>(end - first) * 4);
    return {first, end};
}

void X11Backend::present(win32::NativeWindow window, const win32::PixelView& surface, const RECT& area) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state || !surface.pixels || surface.width <= 0 || surface.height <= 0 || surface.stride < surface.width * 4)
        return;

    if (surface.width != state->width || surface.height != state->height) {
        state->width = surface.width;
        state->height = surface.height;
        state->pixels.assign(static_cast<size_t>(state->width) * state->height, 0);
    }
    const int left = std::max(0, static_cast<int>(area.left));
    const int top = std::max(0, static_cast<int>(area.top));
    const int right = std::min(state->width, static_cast<int>(area.right));
    const int bottom = std::min(state->height, static_cast<int>(area.bottom));
    if (right <= left || bottom <= top) return;

    // The server shows what is stored (an Expose is answered from it), so
    // only the part that changed is sent: a tick of the progress bar moves
    // a few pixels, and one that moves none wakes no server at all.
    RECT changed = storeArea(*state, surface, left, top, right, bottom);
    state->presented = true;
    if (changed.right <= changed.left) return;
    // The shape first: it may grow the X window over what is put next.
    if (state->colorKey && m_hasShape)
        updateShape(*state, changed.top, changed.bottom);
    else if (state->shapeApplied)
        clearShape(*state);
    putArea(*state, changed.left, changed.top, changed.right - changed.left, changed.bottom - changed.top);
    XFlush(m_display);
}

RECT X11Backend::storeArea(WindowState& window, const win32::PixelView& surface, int left, int top, int right,
                           int bottom) {
    const auto* source = reinterpret_cast<const std::uint8_t*>(surface.pixels);
    const int count = right - left;
    std::vector<std::uint32_t> converted(window.argb ? static_cast<size_t>(count) : 0);
    RECT changed{right, bottom, left, top};
    for (int y = top; y < bottom; ++y) {
        const auto* from =
            reinterpret_cast<const std::uint32_t*>(source + static_cast<size_t>(y) * surface.stride) + left;
        if (window.argb) {
            keyToAlpha(from, converted.data(), count, window.colorKey, window.key);
            from = converted.data();
        }
        std::uint32_t* to = &window.pixels[static_cast<size_t>(y) * window.width + left];
        const auto [first, end] = copyChanged(from, to, count);
        if (first == end) continue;
        changed.left = std::min(changed.left, static_cast<LONG>(left + first));
        changed.right = std::max(changed.right, static_cast<LONG>(left + end));
        changed.top = std::min(changed.top, static_cast<LONG>(y));
        changed.bottom = y + 1;
    }
    return changed.left < changed.right ? changed : RECT{0, 0, 0, 0};
}

void X11Backend::putArea(WindowState& window, int x, int y, int width, int height) {
    if (window.pixels.empty()) return;
    if (window.colorKey && window.shapeApplied && window.showsNothing) return;
    // The pieces are no window manager's business: drawn at once.
    for (const PieceWindow& piece : window.pieces) putAreaInto(window, piece.xid, piece.box, x, y, width, height);
    if (window.resizing) {
        // Drawn whole once the new size is reported.
        if (std::chrono::steady_clock::now() < window.resizeUntil) return;
        // No new size came: what was held back since goes out with this.
        window.resizing = false;
        const RECT& box = window.box;
        putAreaInto(window, window.xid, box, box.left, box.top, box.right - box.left, box.bottom - box.top);
        return;
    }
    putAreaInto(window, window.xid, window.box, x, y, width, height);
}

void X11Backend::putAreaInto(WindowState& window, ::Window xid, const RECT& box, int x, int y, int width, int height) {
    // Only what the X window covers reaches the screen.
    const int right = std::min({x + width, window.width, static_cast<int>(box.right)});
    const int bottom = std::min({y + height, window.height, static_cast<int>(box.bottom)});
    x = std::max({0, x, static_cast<int>(box.left)});
    y = std::max({0, y, static_cast<int>(box.top)});
    width = right - x;
    height = bottom - y;
    if (width <= 0 || height <= 0) return;

    // The image points into our copy; Xlib splits it into requests as needed.
    char* start = reinterpret_cast<char*>(&window.pixels[static_cast<size_t>(y) * window.width + x]);
    putImage(m_display, xid, window.argb ? m_argbGc : m_gc, window.argb ? m_argbVisual : m_visual,
             window.argb ? 32 : m_depth, start, window.width * 4, static_cast<int>(x - box.left),
             static_cast<int>(y - box.top), width, height);
}

void X11Backend::setColorKey(win32::NativeWindow window, bool enabled, COLORREF key) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state || (!m_hasShape && !state->argb)) return;
    bool redraw = false;
    if (state->argb && state->presented && (enabled != state->colorKey || key != state->key)) {
        // What shows was stored with the old key: store it anew. Before the
        // first present nothing shows but the clear start, which stays clear.
        alphaToKey(state->pixels.data(), state->pixels.size(), state->colorKey, state->key);
        keyToAlpha(state->pixels.data(), state->pixels.data(), static_cast<int>(state->pixels.size()), enabled, key);
        redraw = true;
    }
    state->colorKey = enabled;
    state->key = key;
    if (m_hasShape && enabled) {
        state->shapeApplied = false;  // the key may have changed: send it anew
        updateShape(*state, 0, state->height);
        // After the shape: it may leave nothing to draw, or cut the X window.
        if (redraw) putArea(*state, 0, 0, state->width, state->height);
    } else if (m_hasShape && state->shapeApplied) {
        clearShape(*state);
        // All of it shows now.
        destroyPieces(*state);
        setBox(*state, RECT{0, 0, state->width, state->height});
        putArea(*state, 0, 0, state->width, state->height);
    } else if (redraw) {
        putArea(*state, 0, 0, state->width, state->height);
    }
    XFlush(m_display);
}

void X11Backend::clearShape(WindowState& window) {
    XShapeCombineMask(m_display, window.xid, ShapeBounding, 0, 0, None, ShapeSet);
    XShapeCombineMask(m_display, window.xid, ShapeInput, 0, 0, None, ShapeSet);
    window.shapeApplied = false;
}

void X11Backend::updateShape(WindowState& window, int top, int bottom) {
    win32::PixelView view{window.pixels.data(), window.width, window.height, window.width * 4};
    const KeyTest test = window.argb ? kAlphaKeyTest : colourKeyTest(window.key);
    // Each shape change costs the server region work and the compositor a
    // repaint, and most presents leave the mask as it was. Only the presented
    // rows can differ from the mask last sent.
    if (window.shapeApplied && window.shape.width == window.width && window.shape.height == window.height) {
        if (!updateShapeMaskRows(window.shape, view, test, top, bottom)) return;
    } else {
        window.shape = buildShapeMask(view, test);
    }
    const ShapeMask& mask = window.shape;
    const RECT shown = opaqueBounds(mask);
    window.showsNothing = shown.right <= shown.left || shown.bottom <= shown.top;
    fitBoxToShape(window);
    Pixmap bitmap = XCreateBitmapFromData(m_display, window.xid, reinterpret_cast<const char*>(mask.bits.data()),
                                          static_cast<unsigned>(mask.width), static_cast<unsigned>(mask.height));
    if (!bitmap) {
        // The server lacks this mask: the next present builds and sends it whole.
        window.shape = ShapeMask{};
        return;
    }
    // The mask covers the client area; the X window starts at the box.
    const int x = -window.box.left;
    const int y = -window.box.top;
    XShapeCombineMask(m_display, window.xid, ShapeBounding, x, y, bitmap, ShapeSet);
    XShapeCombineMask(m_display, window.xid, ShapeInput, x, y, bitmap, ShapeSet);
    for (const PieceWindow& piece : window.pieces) {
        XShapeCombineMask(m_display, piece.xid, ShapeBounding, -piece.box.left, -piece.box.top, bitmap, ShapeSet);
        XShapeCombineMask(m_display, piece.xid, ShapeInput, -piece.box.left, -piece.box.top, bitmap, ShapeSet);
    }
    XFreePixmap(m_display, bitmap);
    window.shapeApplied = true;
    // Shaped before they show: a piece mapped whole would flash its key.
    showPieces(window, window.onScreen);
}

}  // namespace x11
