// Which window manager's quirks apply: the one place that names each.
#include "platform/x11/sway_quirks.h"
#include "platform/x11/wm_quirks.h"

namespace x11 {

std::unique_ptr<WmQuirks> wmQuirks(Display* display) {
    if (auto sway = SwayIpc::connect())
        return std::make_unique<SwayQuirks>([display] { XSync(display, False); }, std::move(sway));
    return std::make_unique<WmQuirks>();
}

}  // namespace x11
