// The floor for start-up: a plain Xlib program that maps a 540 x 200 window
// and fills it with one colour when it is first exposed, then waits to be
// killed. Undecorated, as the player is, so the benchmark's probe sees its
// own pixels rather than a window manager's frame.
#include <X11/Xlib.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 540, 200, 0, 0, 0);
    XStoreName(display, window, "minimal_window");
    Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    long hints[5] = {2 /* decorations field valid */, 0, 0 /* none */, 0, 0};
    XChangeProperty(display, window, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
    XSelectInput(display, window, ExposureMask);
    XMapWindow(display, window);
    GC gc = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, gc, 0x99CCFF);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && event.xexpose.count == 0) {
            XFillRectangle(display, window, gc, 0, 0, 540, 200);
            XFlush(display);
        }
    }
}
