// The tray icons' tooltip: one small override-redirect window with a line
// of text on a pale background, placed by the pointer. UI thread only.
#pragma once

#include <X11/Xlib.h>

#include <string>

namespace x11 {

class Tooltip {
public:
    Tooltip(Display* display, int screen, ::Window root);
    ~Tooltip();
    Tooltip(const Tooltip&) = delete;
    Tooltip& operator=(const Tooltip&) = delete;

    // Shows `text` centred below the pointer (above it near the screen's
    // bottom edge), kept on the screen; a tooltip already shown goes first.
    void show(const std::string& text);
    void hide();
    bool shown() const { return m_window != 0; }
    // Whether `xid` is the tooltip's window (its events need no answer).
    bool owns(::Window xid) const { return m_window != 0 && xid == m_window; }

private:
    bool createWindow(int width, int height);

    Display* m_display;
    int m_screen;
    ::Window m_root;
    ::Window m_window = 0;
};

}  // namespace x11
