// deaf_wm: a window manager that maps and places windows and announces
// _NET_WM_STATE, but ignores every request to iconify, as some compositors'
// window managers do. Runs until killed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(display, False);

    Atom supportingCheck = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
    Atom wmState = XInternAtom(display, "WM_STATE", False);
    Atom features[] = {XInternAtom(display, "_NET_WM_STATE", False)};

    Window check = XCreateSimpleWindow(display, root, -10, -10, 1, 1, 0, 0, 0);
    XChangeProperty(display, check, supportingCheck, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&check), 1);
    XChangeProperty(display, root, supportingCheck, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&check), 1);
    XChangeProperty(display, root, supported, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(features),
                    1);
    XChangeProperty(display, root, clientList, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&check),
                    1);
    XFlush(display);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapRequest) {
            long state[2] = {NormalState, None};
            XChangeProperty(display, event.xmaprequest.window, wmState, wmState, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(state), 2);
            XMapWindow(display, event.xmaprequest.window);
        } else if (event.type == ConfigureRequest) {
            const XConfigureRequestEvent& request = event.xconfigurerequest;
            XWindowChanges changes{};
            changes.x = request.x;
            changes.y = request.y;
            changes.width = request.width;
            changes.height = request.height;
            changes.border_width = request.border_width;
            changes.sibling = request.above;
            changes.stack_mode = request.detail;
            XConfigureWindow(display, request.window, static_cast<unsigned>(request.value_mask), &changes);
        }
        // Client messages (WM_CHANGE_STATE among them) are not answered.
        XFlush(display);
    }
}
