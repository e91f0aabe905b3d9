// Tray icons on an X11 desktop: a StatusNotifierItem on the session bus
// where a watcher runs, otherwise the freedesktop system tray (XEmbed), never
// both, so no desktop shows two icons. Where a watcher runs but no host
// shows the item (none registered, or it refused the item), the icon docks
// in the system tray instead. The host follows trays, watchers and hosts as
// they come and go, and reports an icon that no longer shows anywhere
// through onTrayLost. UI thread only.
#pragma once

#include <map>
#include <memory>

#include "platform/bus/tray_sni.h"
#include "platform/x11/tray_xembed.h"

namespace x11 {

class TrayHost {
public:
    TrayHost(Display* display, int screen, ::Window root, int epoll);

    bool add(unsigned id, const win32::TrayIconDesc& desc);
    void remove(unsigned id);
    bool shown(unsigned id) const;

    bool handleEvent(const XEvent& event) { return m_xembed.handleEvent(event); }
    void processTimers() { m_xembed.processTimer(); }

private:
    // Picks the host after a change and reports icons that were lost.
    void update();
    // The item holds the icons, or may once its watcher has answered.
    bool sniHoldsIcons() const;

    XEmbedTray m_xembed;
    std::unique_ptr<bus::SniTray> m_sni;  // null without a session bus
    std::map<unsigned, bool> m_shown;     // every icon, and whether it was shown after the last change
};

}  // namespace x11
