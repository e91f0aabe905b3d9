// Tray icons in the freedesktop system tray (XEmbed): each icon is a small
// window docked into the owner of _NET_SYSTEM_TRAY_S<screen>, drawn with the
// icon scaled to the size the tray gives it, its tip shown as a tooltip
// while the pointer rests on it. Icons dock again whenever a tray appears
// (the MANAGER message on the root window), also after a tray restarts. An
// icon counts as shown only once the tray has embedded and mapped it.
// Everything runs on the UI thread, inside the X11 backend's event handling.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <map>
#include <memory>

#include "platform/win32/internal/backend.h"
#include "platform/x11/tooltip.h"

namespace x11 {

class XEmbedTray {
public:
    // `changed` is called whenever an icon may have been shown or hidden:
    // embedded, mapped or unmapped by its tray, or its tray went away.
    XEmbedTray(Display* display, int screen, ::Window root, int epoll, std::function<void()> changed);
    ~XEmbedTray();
    XEmbedTray(const XEmbedTray&) = delete;
    XEmbedTray& operator=(const XEmbedTray&) = delete;

    // Keeps the icon and docks it while active and a tray exists.
    void set(unsigned id, const win32::TrayIconDesc& desc);
    void remove(unsigned id);
    // While inactive (another host shows the icons) nothing is docked.
    void setActive(bool active);
    bool trayExists() const { return m_manager != 0; }
    // True while a tray holds the icon embedded and mapped.
    bool shown(unsigned id) const;

    // Handles the event if it is the tray's; true then.
    bool handleEvent(const XEvent& event);
    // Runs the tooltip's timer when its descriptor (in the backend's epoll)
    // fired.
    void processTimer();

private:
    struct Icon;
    void findManager();
    void adoptManager(::Window manager);
    // Docking: the visual, the window named by the tip, the request.
    void dock(Icon& icon);
    void pickVisual(Icon& icon);
    bool createWindow(Icon& icon);
    void requestDock(Icon& icon);
    void undock(Icon& icon);
    void requestSize(Icon& icon, int side);
    void draw(Icon& icon);
    Icon* findIcon(::Window xid);
    // An event of the icon's own window: exposure, size, embedding, input.
    void handleIconEvent(Icon& icon, const XEvent& event);
    void armTooltip(Icon& icon, bool arm);
    void showTooltip();
    void hideTooltip() { m_tooltip.hide(); }

    Display* m_display;
    int m_screen;
    ::Window m_root;
    int m_epoll;
    std::function<void()> m_changed;
    bool m_active = true;
    ::Window m_manager = 0;
    Atom m_selection, m_opcode, m_managerAtom, m_visualAtom, m_xembedInfo, m_netWmName, m_utf8;
    std::map<unsigned, std::unique_ptr<Icon>> m_icons;
    int m_timer = -1;  // the tooltip's delay
    unsigned m_hovered = 0;
    Tooltip m_tooltip;
};

}  // namespace x11
