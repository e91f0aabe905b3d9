// The modal message box: a small dialog with the text and an OK button,
// drawn with cairo, running its own event loop until it is acknowledged.
// Drawing goes to an image and then to the window, which keeps cairo's
// per-display xlib state (alive until the display closes) out of it.
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/x11/put_image.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

constexpr double kFontSize = 13;
constexpr double kLineHeight = 18;
constexpr int kMargin = 20;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 28;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

void selectFont(cairo_t* cr) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize);
}

double measureWidest(const std::vector<std::string>& lines) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    selectFont(cr);
    double widest = 0;
    for (const std::string& line : lines) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, line.c_str(), &extents);
        widest = std::max(widest, extents.x_advance);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return widest;
}

struct Layout {
    int width = 0;
    int height = 0;
    int buttonX = 0;
    int buttonY = 0;
    bool inButton(int x, int y) const {
        return x >= buttonX && x < buttonX + kButtonWidth && y >= buttonY && y < buttonY + kButtonHeight;
    }
};

void paint(cairo_surface_t* surface, const Layout& layout, const std::vector<std::string>& lines, bool pressed) {
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.94, 0.94, 0.94);
    cairo_paint(cr);
    selectFont(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    double baseline = kMargin + kFontSize;
    for (const std::string& line : lines) {
        cairo_move_to(cr, kMargin, baseline);
        cairo_show_text(cr, line.c_str());
        baseline += kLineHeight;
    }
    const double shade = pressed ? 0.78 : 0.88;
    cairo_rectangle(cr, layout.buttonX + 0.5, layout.buttonY + 0.5, kButtonWidth - 1, kButtonHeight - 1);
    cairo_set_source_rgb(cr, shade, shade, shade);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, "OK", &extents);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, std::round(layout.buttonX + (kButtonWidth - extents.x_advance) / 2),
                  std::round(layout.buttonY + (kButtonHeight + kFontSize) / 2 - 2));
    cairo_show_text(cr, "OK");
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

bool isInput(int type) {
    return type == ButtonPress || type == ButtonRelease || type == MotionNotify || type == KeyPress ||
           type == KeyRelease;
}

}  // namespace

void X11Backend::messageBox(win32::NativeWindow owner, const std::string& caption, const std::string& text) {
    const std::vector<std::string> lines = splitLines(text);
    Layout layout;
    layout.width = std::clamp(static_cast<int>(std::ceil(measureWidest(lines))) + 2 * kMargin, 240, 900);
    const int textHeight = static_cast<int>(lines.size() * kLineHeight);
    layout.height = std::min(kMargin + textHeight + kMargin + kButtonHeight + kMargin / 2 + 4, 700);
    layout.buttonX = (layout.width - kButtonWidth) / 2;
    layout.buttonY = layout.height - kButtonHeight - kMargin / 2 - 4;

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
        paint(surface, layout, lines, pressed);
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
