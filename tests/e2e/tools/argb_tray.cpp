// A minimal freedesktop system tray that offers a 32-bit visual, which the
// Debian trays in the checks do not: it takes the tray selection, announces
// itself, and docks each icon in a row along its window, 32 pixels square,
// printing "docked 0xID" on stdout. It runs until killed.
//
//   argb_tray
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <string>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "argb_tray: cannot open the display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const ::Window root = RootWindow(display, screen);
    XVisualInfo argb;
    if (!XMatchVisualInfo(display, screen, 32, TrueColor, &argb)) {
        std::fprintf(stderr, "argb_tray: no 32-bit visual\n");
        return 1;
    }
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0x336699;
    ::Window tray = XCreateWindow(display, root, 0, 0, 200, 40, 0, CopyFromParent, InputOutput, CopyFromParent,
                                  CWOverrideRedirect | CWBackPixel, &attributes);
    XStoreName(display, tray, "argb_tray");
    XMapWindow(display, tray);

    const Atom selection = XInternAtom(display, ("_NET_SYSTEM_TRAY_S" + std::to_string(screen)).c_str(), False);
    const Atom opcode = XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False);
    const Atom visualAtom = XInternAtom(display, "_NET_SYSTEM_TRAY_VISUAL", False);
    const Atom manager = XInternAtom(display, "MANAGER", False);
    unsigned long visual = XVisualIDFromVisual(argb.visual);
    XChangeProperty(display, tray, visualAtom, XA_VISUALID, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&visual), 1);
    XSetSelectionOwner(display, selection, tray, CurrentTime);
    if (XGetSelectionOwner(display, selection) != tray) {
        std::fprintf(stderr, "argb_tray: another tray owns the selection\n");
        return 1;
    }
    XEvent announce{};
    announce.xclient.type = ClientMessage;
    announce.xclient.window = root;
    announce.xclient.message_type = manager;
    announce.xclient.format = 32;
    announce.xclient.data.l[0] = CurrentTime;
    announce.xclient.data.l[1] = static_cast<long>(selection);
    announce.xclient.data.l[2] = static_cast<long>(tray);
    XSendEvent(display, root, False, StructureNotifyMask, &announce);
    XFlush(display);

    int next = 4;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != ClientMessage || event.xclient.message_type != opcode || event.xclient.data.l[1] != 0)
            continue;
        ::Window icon = static_cast<::Window>(event.xclient.data.l[2]);
        XReparentWindow(display, icon, tray, next, 4);
        XResizeWindow(display, icon, 32, 32);
        XMapWindow(display, icon);
        next += 36;
        XSync(display, False);
        std::printf("docked 0x%lx\n", icon);
        std::fflush(stdout);
    }
}
