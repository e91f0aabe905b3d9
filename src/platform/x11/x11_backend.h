// The X11 display backend.
#pragma once

#include "platform/win32/internal/backend.h"

namespace win32 {

// Opens the display named by $DISPLAY; null when none can be opened. The
// caller owns the result and installs it with installBackend().
Backend* createX11Backend();

}  // namespace win32
