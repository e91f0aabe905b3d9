// Asks the window manager to close a window, as its close button would:
// a _NET_CLOSE_WINDOW request, which the manager turns into WM_DELETE_WINDOW.
// With --direct the WM_DELETE_WINDOW message goes to the window itself.
//
//   wm_close [--direct] WINDOW_ID
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    bool direct = argc == 3 && !std::strcmp(argv[1], "--direct");
    if (argc != 2 && !direct) {
        std::fprintf(stderr, "usage: wm_close [--direct] WINDOW_ID\n");
        return 1;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "wm_close: cannot open display\n");
        return 1;
    }
    Window window = std::strtoul(argv[argc - 1], nullptr, 0);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.format = 32;
    if (direct) {
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, window, False, NoEventMask, &e);
    } else {
        e.xclient.message_type = XInternAtom(d, "_NET_CLOSE_WINDOW", False);
        e.xclient.data.l[0] = CurrentTime;
        e.xclient.data.l[1] = 2;  // a pager or similar tool
        XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    }
    XCloseDisplay(d);
    return 0;
}
