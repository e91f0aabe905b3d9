// The modal message box: a small dialog with the text and an OK button,
// drawn at the desktop's scale, running its own event loop until it is
// acknowledged.
// Drawing goes to an image and then to the window, which keeps cairo's
// per-display xlib state (alive until the display closes) out of it.
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <cairo.h>

#include "platform/x11/message_box_layout.h"
#include "platform/x11/put_image.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

bool isInput(int type) {
    return type == ButtonPress || type == ButtonRelease || type == MotionNotify || type == KeyPress ||
           type == KeyRelease;
}

}  // namespace

void X11Backend::messageBox(win32::NativeWindow owner, const std::string& caption, const std::string& text) {
    const std::vector<std::string> lines = messageLines(text);
    const MessageBoxLayout layout = layoutMessageBox(lines, scale());

    XSetWindowAttributes attributes{};
    attributes.colormap = m_colormap;
    attributes.border_pixel = 0;
    attributes.background_pixel = 0xF0F0F0;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
    const int x = (DisplayWidth(m_display, m_screen) - layout.width) / 2;
    const int y = (DisplayHeight(m_display, m_screen) - layout.height) / 2;
    ::Window dialog = XCreateWindow(m_display, m_root, x, y, static_cast<unsigned>(layout.width),
                                    static_cast<unsigned>(layout.height), 0, m_depth, InputOutput, m_visual,
                                    CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);
    if (!dialog) return;

    setFixedSizeHints(dialog, x, y, layout.width, layout.height, PPosition, false);
    setTitle(dialog, caption);
    setWindowType(dialog, m_atoms.netWmWindowTypeDialog);
    Atom states[] = {m_atoms.netWmStateModal, m_atoms.netWmStateAbove};
    XChangeProperty(m_display, dialog, m_atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(states), 2);
    Atom protocols[] = {m_atoms.wmDeleteWindow};
    XSetWMProtocols(m_display, dialog, protocols, 1);
    if (find(static_cast<::Window>(owner))) XSetTransientForHint(m_display, dialog, static_cast<::Window>(owner));
    XMapRaised(m_display, dialog);

    bool pressed = false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, layout.width, layout.height);
    GC gc = XCreateGC(m_display, dialog, 0, nullptr);
    auto show = [&] {
        paintMessageBox(surface, layout, lines, pressed);
        putImage(m_display, dialog, gc, m_visual, m_depth, cairo_image_surface_get_data(surface),
                 cairo_image_surface_get_stride(surface), 0, 0, layout.width, layout.height);
    };
    bool done = false;
    bool destroyed = false;
    while (!done) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.xany.window != dialog) {
            // Other windows keep repainting and taking drops, but get no input
            // while the box is up.
            if (!isInput(event.type)) dispatch(event);
            continue;
        }
        switch (event.type) {
        case MapNotify:
            if (wmSupports(m_atoms.netActiveWindow))
                sendToRoot(dialog, m_atoms.netActiveWindow, 1, static_cast<long>(m_lastTime), 0, 0, 0);
            else
                XSetInputFocus(m_display, dialog, RevertToParent, CurrentTime);
            break;
        case Expose:
            if (event.xexpose.count == 0) show();
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1 && layout.inButton(event.xbutton.x, event.xbutton.y)) {
                pressed = true;
                show();
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && pressed) {
                done = layout.inButton(event.xbutton.x, event.xbutton.y);
                pressed = false;
                show();
            }
            break;
        case KeyPress: {
            KeySym key = XLookupKeysym(&event.xkey, 0);
            done = key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space;
            break;
        }
        case ClientMessage:
            done = event.xclient.message_type == m_atoms.wmProtocols &&
                   static_cast<Atom>(event.xclient.data.l[0]) == m_atoms.wmDeleteWindow;
            break;
        case DestroyNotify: done = destroyed = true; break;
        default: break;
        }
        XFlush(m_display);
    }
    XFreeGC(m_display, gc);
    cairo_surface_destroy(surface);
    if (!destroyed) XDestroyWindow(m_display, dialog);
    XFlush(m_display);
}

}  // namespace x11
