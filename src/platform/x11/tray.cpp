// Tray icons on an X11 desktop (see tray.h), and the backend's tray
// operations, which hand them to the tray host.
#include "platform/x11/tray.h"

#include "platform/win32/internal/events.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

TrayHost::TrayHost(Display* display, int screen, ::Window root, int epoll)
    : m_xembed(display, screen, root, epoll, [this] { update(); }) {
    m_sni = bus::SniTray::onSessionBus([this] { update(); });
    m_xembed.setActive(!(m_sni && m_sni->watcherPresent()));
}

bool TrayHost::add(unsigned id, const win32::TrayIconDesc& desc) {
    if (m_sni) m_sni->set(id, desc);
    m_xembed.set(id, desc);
    m_shown.try_emplace(id, false);
    update();
    // Whether a tray can show it; that one does is known only later.
    return (m_sni && m_sni->watcherPresent()) || m_xembed.trayExists();
}

void TrayHost::remove(unsigned id) {
    if (m_sni) m_sni->remove(id);
    m_xembed.remove(id);
    m_shown.erase(id);
}

bool TrayHost::shown(unsigned id) const { return (m_sni && m_sni->shown(id)) || m_xembed.shown(id); }

bool TrayHost::sniHoldsIcons() const {
    if (!m_sni) return false;
    if (m_sni->settling()) return true;
    for (const auto& [id, wasShown] : m_shown)
        if (m_sni->shown(id)) return true;
    return false;
}

void TrayHost::update() {
    m_xembed.setActive(!sniHoldsIcons());
    for (auto& [id, wasShown] : m_shown) {
        bool now = shown(id);
        if (wasShown && !now) win32::onTrayLost(id);
        wasShown = now;
    }
}

bool X11Backend::addTrayIcon(unsigned id, const win32::TrayIconDesc& desc) {
    if (!m_tray) m_tray = std::make_unique<TrayHost>(m_display, m_screen, m_root, m_epoll);
    return m_tray->add(id, desc);
}

void X11Backend::removeTrayIcon(unsigned id) {
    if (m_tray) m_tray->remove(id);
}

bool X11Backend::trayIconShown(unsigned id) { return m_tray && m_tray->shown(id); }

}  // namespace x11
