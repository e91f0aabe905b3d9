// Tray icons as a StatusNotifierItem on the session bus, for desktops whose
// tray is a StatusNotifierWatcher and its hosts: the item is exported at
// /StatusNotifierItem, with an empty menu, under the name
// org.kde.StatusNotifierItem-<pid>-<id>, and registered with the watcher,
// again whenever the watcher restarts. The item counts as shown only while
// the watcher lists it and a host is registered to show what it lists,
// which is asked again whenever the watcher announces a change. Activate is
// a left press on the icon. One item per process (the first icon set): the
// item's path is fixed by the protocol. UI thread only; the bus is served by
// the message loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/internal/backend.h"
#include "platform/win32/internal/poll_sources.h"

// sd-bus's own types, so that users of the tray need not see sd-bus.
struct sd_bus;
struct sd_bus_slot;

namespace bus {

// True when `listed` (a watcher's RegisteredStatusNotifierItems) names the
// item owned under `wellKnown` or `unique` at /StatusNotifierItem. Watchers
// list an item by the name it registered with, alone or followed by its
// path ("/path", or "@/path" in GNOME's), or by the sender's unique name
// and the path when it registered a path.
bool sniItemListed(const std::vector<std::string>& listed, const std::string& wellKnown, const std::string& unique);

// A poll source only while a registration waits to be tried again.
class SniTray : private win32::PollSource {
public:
    // `changed` is called whenever what the item shows may have changed: the
    // watcher came, restarted or went, a registration was answered, or the
    // watcher's list or hosts changed.
    SniTray(sd_bus* bus, std::function<void()> changed);
    ~SniTray();
    // An item on the session bus; null when there is none.
    static std::unique_ptr<SniTray> onSessionBus(std::function<void()> changed);
    SniTray(const SniTray&) = delete;
    SniTray& operator=(const SniTray&) = delete;

    bool watcherPresent() const { return m_watcherPresent; }
    // Exports (or updates) the item and registers it while a watcher runs.
    void set(unsigned id, const win32::TrayIconDesc& desc);
    void remove(unsigned id);
    // True while the watcher lists the registered item and a host shows it.
    bool shown(unsigned id) const;
    // True while the watcher has not yet answered for the item: a
    // registration or a question about its list is on its way.
    bool settling() const;

    struct Item;  // the exported item, the bus's view of an icon

private:
    struct Signals;  // the bus's callbacks
    void registerItem();
    void askWatcherState();
    bool watcherIsShell();
    void dropItem();
    void scheduleRetry(bool on);
    // PollSource: the retry's timer
    int fd() override { return -1; }
    short events() override { return 0; }
    int timeoutMs() override;
    void dispatch() override;

    sd_bus* m_bus;
    std::function<void()> m_changed;
    sd_bus_slot* m_watch = nullptr;
    sd_bus_slot* m_watcherSignals = nullptr;
    sd_bus_slot* m_watcherProperties = nullptr;
    sd_bus_slot* m_disconnect = nullptr;
    sd_bus_slot* m_pendingRegistration = nullptr;
    sd_bus_slot* m_pendingState = nullptr;
    bool m_stateStale = false;  // a change was announced while the state was being asked
    bool m_watcherPresent = false;
    bool m_listed = false;       // the watcher's list names the item
    bool m_hostPresent = false;  // the watcher has a host
    std::unique_ptr<Item> m_item;
    int m_retriesLeft = 0;
    std::uint64_t m_retryDue = 0;  // monotonic ms; 0 for none
    bool m_polled = false;
};

}  // namespace bus
