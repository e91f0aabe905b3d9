// The tray icons' tooltip window (see tooltip.h).
#include "platform/x11/tooltip.h"

#include <X11/Xatom.h>
#include <cairo.h>

#include <algorithm>

#include "platform/win32/internal/scale.h"
#include "platform/x11/put_image.h"

namespace x11 {

namespace {

constexpr double kFontSize = 12;
constexpr int kPadding = 5;

}  // namespace

Tooltip::Tooltip(Display* display, int screen, ::Window root) : m_display(display), m_screen(screen), m_root(root) {}

Tooltip::~Tooltip() { hide(); }

namespace {

// The text's box with the padding around it, and the baseline's distance
// from the box's top, in device pixels at the display's scale.
struct Measure {
    int width;
    int height;
    double baseline;
    double scale;
    int padding;
};

void selectFont(cairo_t* cr, double scale) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize * scale);
}

Measure measure(const std::string& text, double scale) {
    cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(probe);
    selectFont(cr, scale);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    cairo_destroy(cr);
    cairo_surface_destroy(probe);
    const int padding = win32::toDevice(kPadding, scale);
    return {static_cast<int>(extents.x_advance) + 2 * padding,
            static_cast<int>(font.ascent + font.descent) + 2 * padding, padding + font.ascent, scale, padding};
}

// The text on the pale background inside a grey line.
cairo_surface_t* paint(const std::string& text, const Measure& size) {
    cairo_surface_t* canvas = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.width, size.height);
    cairo_t* cr = cairo_create(canvas);
    cairo_set_source_rgb(cr, 1.0, 1.0, 0.88);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
    const double line = win32::toDevice(1, size.scale);
    cairo_rectangle(cr, line / 2, line / 2, size.width - line, size.height - line);
    cairo_set_line_width(cr, line);
    cairo_stroke(cr);
    selectFont(cr, size.scale);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, size.padding, size.baseline);
    cairo_show_text(cr, text.c_str());
    cairo_destroy(cr);
    cairo_surface_flush(canvas);
    return canvas;
}

}  // namespace

void Tooltip::show(const std::string& text) {
    hide();
    const Measure size = measure(text, win32::displayScale());
    if (!createWindow(size.width, size.height)) return;
    // Drawn once into the window's background, so exposures need no answer.
    cairo_surface_t* canvas = paint(text, size);
    const int depth = DefaultDepth(m_display, m_screen);
    Pixmap background = XCreatePixmap(m_display, m_window, static_cast<unsigned>(size.width),
                                      static_cast<unsigned>(size.height), static_cast<unsigned>(depth));
    GC gc = XCreateGC(m_display, background, 0, nullptr);
    putImage(m_display, background, gc, DefaultVisual(m_display, m_screen), depth, cairo_image_surface_get_data(canvas),
             cairo_image_surface_get_stride(canvas), 0, 0, size.width, size.height);
    XFreeGC(m_display, gc);
    cairo_surface_destroy(canvas);
    XSetWindowBackgroundPixmap(m_display, m_window, background);
    XFreePixmap(m_display, background);
    XClearWindow(m_display, m_window);
    XFlush(m_display);
}

// Below the pointer, kept on the screen.
bool Tooltip::createWindow(int width, int height) {
    ::Window rootReturn, child;
    int px = 0, py = 0, wx, wy;
    unsigned int buttons;
    XQueryPointer(m_display, m_root, &rootReturn, &child, &px, &py, &wx, &wy, &buttons);
    const int screenWidth = DisplayWidth(m_display, m_screen), screenHeight = DisplayHeight(m_display, m_screen);
    int x = std::clamp(px - width / 2, 0, std::max(0, screenWidth - width));
    const int gap = win32::toDevice(20, win32::displayScale());
    int y = py + gap;
    if (y + height > screenHeight) y = std::max(0, py - gap - height);

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask;
    m_window = XCreateWindow(m_display, m_root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 1,
                             CopyFromParent, InputOutput, CopyFromParent,
                             CWOverrideRedirect | CWBorderPixel | CWEventMask, &attributes);
    if (!m_window) return false;
    Atom type = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE", False);
    Atom tooltip = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
    XChangeProperty(m_display, m_window, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&tooltip),
                    1);
    XMapRaised(m_display, m_window);
    return true;
}

void Tooltip::hide() {
    if (!m_window) return;
    XDestroyWindow(m_display, m_window);
    m_window = 0;
    XFlush(m_display);
}

}  // namespace x11
