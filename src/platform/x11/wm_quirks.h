// What a window manager does unlike the others, behind hooks that the
// generic paths call. The default does nothing, as most window managers
// need nothing; wmQuirks() picks the one for the session.
#pragma once

#include <X11/Xlib.h>

#include <memory>

namespace x11 {

struct WindowState;

class WmQuirks {
public:
    virtual ~WmQuirks() = default;

    // The window manager moves and resizes a window as asked (through
    // place), whatever its hints say.
    virtual bool placesWindows() const { return false; }
    // Puts a mapped window at (x, y) on the root, `width` x `height`, the
    // window manager's way; false to do it the X way.
    virtual bool place(const WindowState&, int /*x*/, int /*y*/, int /*width*/, int /*height*/) { return false; }
    // Before the window is mapped, and when it is hidden.
    virtual void beforeMap(WindowState&) {}
    virtual void hidden(WindowState&) {}
    // Any event of the window: the window manager may have taken it as
    // its own by then.
    virtual void windowEvent(WindowState&) {}
    // The window shows at a place of the window manager's own, which is
    // no news for the core.
    virtual bool holdsOrigin(const WindowState&) const { return false; }
};

// The quirks of the window manager running on `display` (pick_quirks.cpp).
std::unique_ptr<WmQuirks> wmQuirks(Display* display);

}  // namespace x11
