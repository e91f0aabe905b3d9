// The desktop (session) bus: one sd-bus connection for the whole program,
// opened on first use and served on the UI thread by the message loop, which
// polls its descriptor between window messages. Everything that talks on
// the bus (the tray's StatusNotifierItem, ...) shares it. UI thread only.
#pragma once

#include <systemd/sd-bus.h>

namespace bus {

// The connection, or null when there is no session bus (the program then
// runs without what needs one, quietly). Not to be unref'ed by the caller.
// If the bus goes away, users get sd-bus's local Disconnected signal
// (path /org/freedesktop/DBus/Local) and the loop stops serving it.
sd_bus* sessionBus();

// Flushes and closes the connection; a later sessionBus() opens a new one.
void closeSessionBus();

}  // namespace bus
