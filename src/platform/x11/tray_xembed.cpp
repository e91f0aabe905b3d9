// The freedesktop system tray (XEmbed) host side of tray icons; see
// tray_xembed.h.
#include "platform/x11/tray_xembed.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/internal/events.h"
#include "platform/win32/internal/pixels.h"
#include "platform/x11/pointer.h"
#include "platform/x11/put_image.h"

namespace x11 {

namespace {

constexpr int kInitialSize = 22;  // until the tray sizes the icon
constexpr long kRequestDock = 0;  // SYSTEM_TRAY_REQUEST_DOCK
constexpr int kTooltipDelayMs = 600;

// Adds StructureNotify to what this client hears of `window`, keeping the
// events asked for elsewhere: the tray manager may also own the display
// settings whose changes the scale follows.
void addStructureEvents(Display* display, ::Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return;
    XSelectInput(display, window, attributes.your_event_mask | StructureNotifyMask);
}

// The icon's straight ARGB pixels as a premultiplied cairo image; null for
// a size that does not match the pixels.
cairo_surface_t* premultipliedImage(const win32::TrayIconDesc& desc) {
    if (desc.width <= 0 || desc.height <= 0 ||
        desc.argb.size() != static_cast<size_t>(desc.width) * static_cast<size_t>(desc.height))
        return nullptr;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, desc.width, desc.height);
    auto* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < desc.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < desc.width; ++x)
            row[x] = win32::premultiply(desc.argb[static_cast<size_t>(y) * desc.width + x]);
    }
    cairo_surface_mark_dirty(image);
    return image;
}

}  // namespace

// An icon and what is made for it; it frees all of that when it goes.
struct XEmbedTray::Icon {
    Icon(Display* display, unsigned id) : display(display), id(id) {}
    ~Icon() {
        undock();
        setImage(nullptr);
    }
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;

    void setImage(cairo_surface_t* surface) {
        if (image) cairo_surface_destroy(image);
        image = surface;
    }
    // Frees the window and what was made for it, and forgets the tray's
    // view of it. The window may have gone with its tray; errors are
    // ignored.
    void undock() {
        if (gc) XFreeGC(display, gc);
        if (xid) XDestroyWindow(display, xid);
        if (colormap) XFreeColormap(display, colormap);
        gc = nullptr;
        xid = 0;
        colormap = 0;
        docked = embedded = mapped = false;
        width = height = kInitialSize;
    }

    Display* display;
    unsigned id;
    win32::TrayIconDesc desc;
    cairo_surface_t* image = nullptr;  // the icon, premultiplied ARGB32
    ::Window xid = 0;
    Visual* visual = nullptr;
    int depth = 0;
    bool argb = false;  // drawn on a 32-bit visual; else over the tray's background
    Colormap colormap = 0;
    GC gc = nullptr;
    int width = kInitialSize;
    int height = kInitialSize;
    bool docked = false;    // asked the tray to embed it
    bool embedded = false;  // the tray took it: its parent is no longer the root
    bool mapped = false;
};

XEmbedTray::XEmbedTray(Display* display, int screen, ::Window root, int epoll, std::function<void()> changed)
    : m_display(display),
      m_screen(screen),
      m_root(root),
      m_epoll(epoll),
      m_changed(std::move(changed)),
      m_tooltip(display, screen, root) {
    std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    m_selection = XInternAtom(display, selection.c_str(), False);
    m_opcode = XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False);
    m_managerAtom = XInternAtom(display, "MANAGER", False);
    m_visualAtom = XInternAtom(display, "_NET_SYSTEM_TRAY_VISUAL", False);
    m_xembedInfo = XInternAtom(display, "_XEMBED_INFO", False);
    m_netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    m_utf8 = XInternAtom(display, "UTF8_STRING", False);

    // A tray announces itself to the root's StructureNotify listeners.
    addStructureEvents(display, root);

    m_timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timer >= 0 && m_epoll >= 0) {
        epoll_event watch{};
        watch.events = EPOLLIN;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_timer, &watch);
    }
    findManager();
}

XEmbedTray::~XEmbedTray() {
    hideTooltip();
    m_icons.clear();
    if (m_timer >= 0) {
        if (m_epoll >= 0) epoll_ctl(m_epoll, EPOLL_CTL_DEL, m_timer, nullptr);
        close(m_timer);
    }
}

void XEmbedTray::findManager() {
    XGrabServer(m_display);  // the owner must not vanish between the two requests
    ::Window owner = XGetSelectionOwner(m_display, m_selection);
    if (owner) addStructureEvents(m_display, owner);
    XUngrabServer(m_display);
    XFlush(m_display);
    if (owner) adoptManager(owner);
}

void XEmbedTray::adoptManager(::Window manager) {
    if (manager == m_manager) return;
    m_manager = manager;
    addStructureEvents(m_display, manager);
    if (!m_active) return;
    for (auto& [id, icon] : m_icons) {
        undock(*icon);
        dock(*icon);
    }
}

bool XEmbedTray::shown(unsigned id) const {
    auto it = m_icons.find(id);
    return it != m_icons.end() && it->second->docked && it->second->embedded && it->second->mapped;
}

void XEmbedTray::set(unsigned id, const win32::TrayIconDesc& desc) {
    auto& slot = m_icons[id];
    if (!slot) slot = std::make_unique<Icon>(m_display, id);
    Icon& icon = *slot;
    icon.desc = desc;
    icon.setImage(premultipliedImage(desc));
    if (!m_active || !m_manager) return;
    if (icon.docked) {
        draw(icon);
        XFlush(m_display);
    } else {
        dock(icon);
    }
}

void XEmbedTray::remove(unsigned id) {
    auto it = m_icons.find(id);
    if (it == m_icons.end()) return;
    if (m_hovered == id) hideTooltip();
    m_icons.erase(it);
    XFlush(m_display);
}

void XEmbedTray::setActive(bool active) {
    if (active == m_active) return;
    m_active = active;
    for (auto& [id, icon] : m_icons) {
        if (active && m_manager)
            dock(*icon);
        else if (!active)
            undock(*icon);
    }
    if (!active) hideTooltip();
    XFlush(m_display);
}

void XEmbedTray::dock(Icon& icon) {
    pickVisual(icon);
    if (!createWindow(icon)) return;
    requestDock(icon);
}

// A 32-bit visual offered by the tray lets the icon's own alpha show;
// otherwise the icon is drawn over the tray's background.
void XEmbedTray::pickVisual(Icon& icon) {
    icon.visual = DefaultVisual(m_display, m_screen);
    icon.depth = DefaultDepth(m_display, m_screen);
    icon.argb = false;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, m_manager, m_visualAtom, 0, 1, False, XA_VISUALID, &type, &format, &count, &after,
                           &data) == Success &&
        data && type == XA_VISUALID && format == 32 && count == 1) {
        XVisualInfo wanted{};
        wanted.visualid = static_cast<VisualID>(reinterpret_cast<unsigned long*>(data)[0]);
        wanted.screen = m_screen;
        int found = 0;
        XVisualInfo* info = XGetVisualInfo(m_display, VisualIDMask | VisualScreenMask, &wanted, &found);
        if (info && found > 0 && info->depth == 32 && info->c_class == TrueColor) {
            icon.visual = info->visual;
            icon.depth = 32;
            icon.argb = true;
        }
        if (info) XFree(info);
    }
    if (data) XFree(data);
}

bool XEmbedTray::createWindow(Icon& icon) {
    XSetWindowAttributes attributes{};
    unsigned long mask = CWEventMask | CWBorderPixel;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                            LeaveWindowMask | StructureNotifyMask;
    attributes.border_pixel = 0;
    if (icon.argb) {
        icon.colormap = XCreateColormap(m_display, m_root, icon.visual, AllocNone);
        attributes.colormap = icon.colormap;
        attributes.background_pixel = 0;
        mask |= CWColormap | CWBackPixel;
    } else {
        attributes.background_pixmap = ParentRelative;
        mask |= CWBackPixmap;
    }
    icon.xid =
        XCreateWindow(m_display, m_root, 0, 0, static_cast<unsigned>(icon.width), static_cast<unsigned>(icon.height), 0,
                      icon.depth, InputOutput, icon.visual, mask, &attributes);
    if (!icon.xid) return false;
    icon.gc = XCreateGC(m_display, icon.xid, 0, nullptr);
    return true;
}

void XEmbedTray::requestDock(Icon& icon) {
    // Named by its tip, so a tray that lists its icons shows what it is.
    const std::string& tip = icon.desc.tip;
    XChangeProperty(m_display, icon.xid, m_netWmName, m_utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(tip.data()), static_cast<int>(tip.size()));
    XStoreName(m_display, icon.xid, tip.c_str());
    XClassHint* classHint = XAllocClassHint();
    char name[] = "ostrel", cls[] = "Ostrel";
    classHint->res_name = name;
    classHint->res_class = cls;
    XSetClassHint(m_display, icon.xid, classHint);
    XFree(classHint);
    requestSize(icon, kInitialSize);
    long info[2] = {0 /* protocol version */, 1 /* XEMBED_MAPPED */};
    XChangeProperty(m_display, icon.xid, m_xembedInfo, m_xembedInfo, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(info), 2);

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = m_manager;
    event.xclient.message_type = m_opcode;
    event.xclient.format = 32;
    event.xclient.data.l[0] = CurrentTime;
    event.xclient.data.l[1] = kRequestDock;
    event.xclient.data.l[2] = static_cast<long>(icon.xid);
    XSendEvent(m_display, m_manager, False, NoEventMask, &event);
    XFlush(m_display);
    icon.docked = true;
}

void XEmbedTray::requestSize(Icon& icon, int side) {
    // Trays read the wanted size from the normal hints.
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PMinSize | PBaseSize;
    hints->min_width = hints->base_width = side;
    hints->min_height = hints->base_height = side;
    XSetWMNormalHints(m_display, icon.xid, hints);
    XFree(hints);
}

void XEmbedTray::undock(Icon& icon) {
    if (m_hovered == icon.id) hideTooltip();
    icon.undock();
}

void XEmbedTray::draw(Icon& icon) {
    if (!icon.xid || icon.width <= 0 || icon.height <= 0) return;
    const int w = icon.width, h = icon.height;
    cairo_surface_t* canvas = cairo_image_surface_create(icon.argb ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, w, h);
    if (cairo_surface_status(canvas) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(canvas);
        return;
    }
    if (!icon.argb) {
        // What lies under the icon: the tray's own background, through
        // ParentRelative.
        XClearArea(m_display, icon.xid, 0, 0, 0, 0, False);
        XImage* under = XGetImage(m_display, icon.xid, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                  AllPlanes, ZPixmap);
        if (under) {
            cairo_surface_flush(canvas);
            auto* data = cairo_image_surface_get_data(canvas);
            const int stride = cairo_image_surface_get_stride(canvas);
            for (int y = 0; y < h; ++y) {
                auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<size_t>(y) * stride);
                for (int x = 0; x < w; ++x) row[x] = static_cast<std::uint32_t>(XGetPixel(under, x, y)) | 0xFF000000u;
            }
            cairo_surface_mark_dirty(canvas);
            XDestroyImage(under);
        }
    }
    if (icon.image) {
        // Scaled to fit the square the tray gives, centred.
        const int side = std::min(w, h);
        const double scale = double(side) / std::max(icon.desc.width, icon.desc.height);
        cairo_t* cr = cairo_create(canvas);
        cairo_translate(cr, (w - icon.desc.width * scale) / 2, (h - icon.desc.height * scale) / 2);
        cairo_scale(cr, scale, scale);
        cairo_set_source_surface(cr, icon.image, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    cairo_surface_flush(canvas);
    putImage(m_display, icon.xid, icon.gc, icon.visual, icon.depth, cairo_image_surface_get_data(canvas),
             cairo_image_surface_get_stride(canvas), 0, 0, w, h);
    cairo_surface_destroy(canvas);
}

XEmbedTray::Icon* XEmbedTray::findIcon(::Window xid) {
    if (!xid) return nullptr;
    for (auto& [id, icon] : m_icons)
        if (icon->xid == xid) return icon.get();
    return nullptr;
}

bool XEmbedTray::handleEvent(const XEvent& event) {
    if (event.type == ClientMessage && event.xclient.window == m_root) {
        const XClientMessageEvent& message = event.xclient;
        if (message.message_type != m_managerAtom || static_cast<Atom>(message.data.l[1]) != m_selection) return false;
        adoptManager(static_cast<::Window>(message.data.l[2]));
        return true;
    }
    if (event.type == DestroyNotify && m_manager && event.xdestroywindow.window == m_manager) {
        m_manager = 0;
        for (auto& [id, icon] : m_icons) undock(*icon);
        XFlush(m_display);
        findManager();  // another tray may already be waiting
        m_changed();
        return true;
    }
    if (m_tooltip.owns(event.xany.window)) return true;
    Icon* icon = findIcon(event.xany.window);
    if (!icon) return false;
    handleIconEvent(*icon, event);
    return true;
}

void XEmbedTray::handleIconEvent(Icon& icon, const XEvent& event) {
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0) draw(icon);
        break;
    case ConfigureNotify:
        if (event.xconfigure.width != icon.width || event.xconfigure.height != icon.height) {
            icon.width = event.xconfigure.width;
            icon.height = event.xconfigure.height;
            // A tray sizes its row; a square as tall as the row is the
            // icon's natural shape.
            if (icon.height > 1 && icon.width != icon.height) requestSize(icon, icon.height);
            draw(icon);
        }
        break;
    case DestroyNotify:
        // Gone with its tray; the tray's own end reports the loss.
        icon.xid = 0;
        break;
    case ReparentNotify:
        icon.embedded = event.xreparent.parent != m_root;
        m_changed();
        break;
    case MapNotify:
    case UnmapNotify:
        icon.mapped = event.type == MapNotify;
        m_changed();
        break;
    case ButtonPress:
    case ButtonRelease: {
        armTooltip(icon, false);
        hideTooltip();
        win32::PointerEvent pointer;
        if (pointerFromButton(event.xbutton, &pointer)) win32::onTrayPointer(icon.id, pointer);
        break;
    }
    case MotionNotify:
        win32::onTrayPointer(icon.id, pointerFromMotion(event.xmotion));
        if (!m_tooltip.shown()) armTooltip(icon, true);
        break;
    case EnterNotify: armTooltip(icon, true); break;
    case LeaveNotify:
        armTooltip(icon, false);
        hideTooltip();
        break;
    default: break;
    }
}

void XEmbedTray::armTooltip(Icon& icon, bool arm) {
    if (m_timer < 0) return;
    itimerspec due{};
    if (arm) {
        due.it_value.tv_sec = kTooltipDelayMs / 1000;
        due.it_value.tv_nsec = (kTooltipDelayMs % 1000) * 1000000L;
        m_hovered = icon.id;
    }
    timerfd_settime(m_timer, 0, &due, nullptr);
}

void XEmbedTray::processTimer() {
    if (m_timer < 0) return;
    std::uint64_t expirations = 0;
    if (read(m_timer, &expirations, sizeof expirations) != sizeof expirations || expirations == 0) return;
    showTooltip();
}

void XEmbedTray::showTooltip() {
    auto it = m_icons.find(m_hovered);
    if (it == m_icons.end() || !it->second->docked || it->second->desc.tip.empty()) return;
    m_tooltip.show(it->second->desc.tip);
}

}  // namespace x11
