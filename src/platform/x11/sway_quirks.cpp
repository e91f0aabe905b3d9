#include "platform/x11/sway_quirks.h"

#include <chrono>

#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

// How long sway may take to show a window mapped.
constexpr auto kSwayMapTime = std::chrono::seconds(2);

}  // namespace

bool SwayQuirks::place(const WindowState& window, int x, int y, int width, int height) {
    return run(window, geometry(x, y, width, height));
}

void SwayQuirks::beforeMap(WindowState& window) {
    window.afterMapPending = true;
    window.placeAfterMap = window.originKnown && !window.iconic;
    window.afterMapUntil = std::chrono::steady_clock::now() + kSwayMapTime;
}

void SwayQuirks::hidden(WindowState& window) { window.afterMapPending = false; }

bool SwayQuirks::holdsOrigin(const WindowState& window) const {
    // Until then the window shows at sway's place, not one the person chose.
    return window.afterMapPending && window.placeAfterMap;
}

std::string SwayQuirks::geometry(int x, int y, int width, int height) {
    return "resize set width " + std::to_string(width) + " px height " + std::to_string(height) +
           " px, move absolute position " + std::to_string(x) + " " + std::to_string(y);
}

bool SwayQuirks::run(const WindowState& window, const std::string& commands) {
    // What was asked before (the size hints among it) reaches the server
    // first, so sway's configure comes after it and its events count.
    m_syncX();
    return m_sway->run("[id=" + std::to_string(window.xid) + "] " + commands);
}

void SwayQuirks::windowEvent(WindowState& window) {
    if (!window.afterMapPending) return;
    if (std::chrono::steady_clock::now() > window.afterMapUntil) {
        window.afterMapPending = false;
        return;
    }
    // Until sway has taken the window as its own a command finds nothing;
    // any event of the window's may be the first after that.
    std::string commands;
    if (window.placeAfterMap) {
        const RECT& box = window.box;
        commands =
            geometry(window.origin.x + box.left, window.origin.y + box.top, box.right - box.left, box.bottom - box.top);
    }
    // sway keeps no window on every workspace for the hints.
    if (onEveryWorkspace(window)) commands += commands.empty() ? "sticky enable" : ", sticky enable";
    if (!commands.empty() && !run(window, commands)) return;
    window.afterMapPending = false;
}

}  // namespace x11
