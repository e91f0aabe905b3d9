// sway centres a floating X window whenever it maps it or the window asks
// to be moved or resized, and keeps none on every workspace for the hints:
// its command socket tells it what the hints cannot.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/x11/sway_ipc.h"
#include "platform/x11/wm_quirks.h"

namespace x11 {

class SwayQuirks : public WmQuirks {
public:
    // `syncX` gets what was asked of the X server there before a command
    // goes to sway.
    SwayQuirks(std::function<void()> syncX, std::unique_ptr<SwayIpc> sway)
        : m_syncX(std::move(syncX)), m_sway(std::move(sway)) {}

    bool placesWindows() const override { return true; }
    bool place(const WindowState& window, int x, int y, int width, int height) override;
    void beforeMap(WindowState& window) override;
    void hidden(WindowState& window) override;
    void windowEvent(WindowState& window) override;
    bool holdsOrigin(const WindowState& window) const override;

    // The command that puts a window at (x, y), `width` x `height`.
    static std::string geometry(int x, int y, int width, int height);

private:
    // Runs sway commands for a window sway shows; false when sway did not do them.
    bool run(const WindowState& window, const std::string& commands);

    std::function<void()> m_syncX;
    std::unique_ptr<SwayIpc> m_sway;
};

}  // namespace x11
