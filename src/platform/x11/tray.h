// Tray icons on an X11 desktop: shown in the freedesktop system tray
// (XEmbed) for now; the host that shows an icon reports its loss upward.
#pragma once

#include <map>
#include <memory>

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
    XEmbedTray m_xembed;
};

}  // namespace x11
