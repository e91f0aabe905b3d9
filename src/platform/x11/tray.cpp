// Tray icons on an X11 desktop (see tray.h).
#include "platform/x11/tray.h"

#include "platform/bus/session_bus.h"
#include "platform/win32/internal/events.h"

namespace x11 {

TrayHost::TrayHost(Display* display, int screen, ::Window root, int epoll)
    : m_xembed(display, screen, root, epoll, [this](unsigned) { update(); }) {
    if (sd_bus* bus = bus::sessionBus()) m_sni = std::make_unique<SniTray>(bus, [this] { update(); });
    m_xembed.setActive(!(m_sni && m_sni->watcherPresent()));
}

bool TrayHost::add(unsigned id, const win32::TrayIconDesc& desc) {
    if (m_sni) m_sni->set(id, desc);
    m_xembed.set(id, desc);
    m_shown[id] = shown(id);
    return m_shown[id];
}

void TrayHost::remove(unsigned id) {
    if (m_sni) m_sni->remove(id);
    m_xembed.remove(id);
    m_shown.erase(id);
}

bool TrayHost::shown(unsigned id) const { return (m_sni && m_sni->shown(id)) || m_xembed.docked(id); }

void TrayHost::update() {
    m_xembed.setActive(!(m_sni && m_sni->watcherPresent()));
    for (auto& [id, wasShown] : m_shown) {
        bool now = shown(id);
        if (wasShown && !now) win32::onTrayLost(id);
        wasShown = now;
    }
}

}  // namespace x11
