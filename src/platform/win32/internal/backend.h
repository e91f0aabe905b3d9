// The display backend interface. The backend-neutral layer (window table,
// message queue, painting, hit testing) calls down through it; a backend
// reports native events back up through the functions in events.h. A
// backend never calls application code and never sees a window procedure.
//
// Every call is made on the UI thread. Required operations are pure virtual;
// optional ones have a harmless default here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/types.h"

namespace win32 {

using NativeWindow = std::uintptr_t;  // 0 is no window

struct NativeWindowDesc {
    std::string title;  // UTF-8
    std::string className;
    int x = 0, y = 0;  // screen position; placed by the backend when `placed` is false
    bool placed = false;
    int width = 0, height = 0;
    bool topmost = false;      // always on top
    bool toolWindow = false;   // off the taskbar and pager
    bool acceptFiles = false;  // a drop target
    bool popup = false;        // a pop-up (menu) window rather than a top-level one
    bool layered = false;      // may be colour-keyed
    NativeWindow owner = 0;
};

// A tray icon as the backend shows it.
struct TrayIconDesc {
    int width = 0, height = 0;
    std::vector<std::uint32_t> argb;  // straight A<<24|R<<16|G<<8|B, row by row
    std::string tip;                  // UTF-8
};

// 32-bit pixels, BGRA in memory (premultiplied), `stride` bytes a row.
struct PixelView {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

class Backend {
public:
    virtual ~Backend() = default;

    // Lifecycle
    virtual NativeWindow createWindow(const NativeWindowDesc& desc) = 0;  // 0 on failure
    virtual void destroyWindow(NativeWindow window) = 0;
    virtual void setVisible(NativeWindow window, bool visible) = 0;
    // Shows `area` (window coordinates) of the window's surface on screen.
    virtual void present(NativeWindow window, const PixelView& surface, const RECT& area) = 0;

    // Events: a descriptor that becomes readable when native events wait
    // (-1 for none), and the call that turns pending native events into
    // calls of events.h.
    virtual int eventFd() { return -1; }
    virtual void processEvents() {}
    virtual void flush() {}

    // Optional features
    virtual void setColorKey(NativeWindow, bool /*enabled*/, COLORREF /*key*/) {}
    virtual void setIcon(NativeWindow, int /*width*/, int /*height*/, const std::vector<std::uint32_t>& /*argb*/) {}
    // The pointer was pressed at `screen` and the window should follow it.
    virtual void startSystemMove(NativeWindow, POINT /*screen*/) {}
    // Activates the window: it takes the keyboard focus. When it loses it
    // to another window the backend calls onDeactivated.
    virtual void setForeground(NativeWindow) {}
    // Moves the window's top-left corner to `screen` and, with `raise`, to the
    // top of the stacking order.
    virtual void setPosition(NativeWindow, POINT /*screen*/, bool /*raise*/) {}
    // A new size; the window's next present carries pixels of that size.
    virtual void setSize(NativeWindow, int /*width*/, int /*height*/) {}
    // 1 is opaque, 0 invisible (a compositor is needed to see the difference).
    virtual void setOpacity(NativeWindow, double /*opacity*/) {}
    virtual bool compositionEnabled() { return false; }
    // Rectangles in window coordinates; empty turns the blur off.
    virtual void setBlurRegion(NativeWindow, const std::vector<RECT>&) {}
    virtual bool cursorPosition(POINT* /*screen*/) { return false; }
    // A modal message box; returns when the user has acknowledged it.
    virtual void messageBox(NativeWindow /*owner*/, const std::string& /*caption*/, const std::string& /*text*/) {}

    // Hides a shown window into the window manager's icon (taskbar) state,
    // off-taskbar flags dropped while it is there. When the window manager
    // restores it the backend calls onRestored. False when nothing can
    // restore it (no window manager): the window then stays as it was.
    virtual bool iconify(NativeWindow) { return false; }

    // Tray icons, keyed by the layer's id. addTrayIcon shows (or updates) the
    // icon in whatever tray the desktop offers and keeps it, docking it again
    // whenever a tray appears or restarts; it returns false when no tray
    // exists at the moment. Input over the icon comes back through
    // onTrayPointer; onTrayLost when no tray shows it any more.
    virtual bool addTrayIcon(unsigned /*id*/, const TrayIconDesc&) { return false; }
    virtual void removeTrayIcon(unsigned /*id*/) {}
    // True while a tray shows the icon.
    virtual bool trayIconShown(unsigned /*id*/) { return false; }

    // Device pixels per window pixel (see scale.h). Every position, size and
    // rectangle passed to and from the calls above is in device pixels.
    virtual double scale() { return 1.0; }
};

// The backend in use; null until one is installed. With none, window
// creation fails and message boxes go to stderr only.
Backend* backend();
void installBackend(Backend* backend);  // not owned

}  // namespace win32
