// Tray icons as a StatusNotifierItem on the session bus, for desktops whose
// tray is a StatusNotifierWatcher and its hosts: the item is exported at
// /StatusNotifierItem under the name org.kde.StatusNotifierItem-<pid>-<id>
// and registered with the watcher, again whenever the watcher restarts.
// Activate is a left press on the icon; there is no menu. One item per
// process (the first icon set): the item's path is fixed by the protocol.
// UI thread only; the bus is served by the message loop.
#pragma once

#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/internal/backend.h"
#include "platform/win32/internal/poll_sources.h"

namespace x11 {

// A poll source only while a registration waits to be tried again.
class SniTray : private win32::PollSource {
public:
    // `changed` is called when the watcher comes, restarts or goes, or a
    // registration failed: what the item shows may have changed.
    SniTray(sd_bus* bus, std::function<void()> changed);
    ~SniTray();
    SniTray(const SniTray&) = delete;
    SniTray& operator=(const SniTray&) = delete;

    bool watcherPresent() const { return m_watcherPresent; }
    // Exports (or updates) the item and registers it while a watcher runs.
    void set(unsigned id, const win32::TrayIconDesc& desc);
    void remove(unsigned id);
    // True while a watcher holds the registered item.
    bool shown(unsigned id) const;

    struct Item;  // the exported item, the bus's view of an icon

private:
    static int onOwnerChanged(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onRegistered(sd_bus_message* reply, void* self, sd_bus_error* error);
    static int onDisconnected(sd_bus_message* message, void* self, sd_bus_error* error);
    void registerItem();
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
    sd_bus_slot* m_disconnect = nullptr;
    sd_bus_slot* m_pendingRegistration = nullptr;
    bool m_watcherPresent = false;
    std::unique_ptr<Item> m_item;
    int m_retriesLeft = 0;
    std::uint64_t m_retryDue = 0;  // monotonic ms; 0 for none
    bool m_polled = false;
};

}  // namespace x11
