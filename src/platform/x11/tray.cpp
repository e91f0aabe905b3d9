// Tray icons on an X11 desktop (see tray.h).
#include "platform/x11/tray.h"

#include "platform/win32/internal/events.h"

namespace x11 {

TrayHost::TrayHost(Display* display, int screen, ::Window root, int epoll)
    : m_xembed(display, screen, root, epoll, [](unsigned id) { win32::onTrayLost(id); }) {}

bool TrayHost::add(unsigned id, const win32::TrayIconDesc& desc) {
    m_xembed.set(id, desc);
    return m_xembed.docked(id);
}

void TrayHost::remove(unsigned id) { m_xembed.remove(id); }

bool TrayHost::shown(unsigned id) const { return m_xembed.docked(id); }

}  // namespace x11
