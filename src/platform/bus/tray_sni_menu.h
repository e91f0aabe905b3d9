// The menu of a StatusNotifierItem: a com.canonical.dbusmenu object with a
// root and no entries, so hosts that will not show an item without a menu
// (GNOME's AppIndicator host among them) show the icon, and one that opens
// the menu finds it empty. UI thread only; the bus is served by the message
// loop.
#pragma once

#include <systemd/sd-bus.h>

namespace bus {

class SniMenu {
public:
    static constexpr const char* kPath = "/MenuBar";

    // Exports the object on `bus`; exported() tells whether that worked.
    explicit SniMenu(sd_bus* bus);
    ~SniMenu();
    SniMenu(const SniMenu&) = delete;
    SniMenu& operator=(const SniMenu&) = delete;

    bool exported() const { return m_slot != nullptr; }

private:
    sd_bus_slot* m_slot = nullptr;
};

}  // namespace bus
