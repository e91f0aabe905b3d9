// What the rest of the layer asks of the notification-area icons.
#pragma once

#include "platform/win32/types.h"

namespace win32 {

// True while a tray shows one of the window's icons: hiding the window then
// leaves the user a way back to it.
bool notifyIconShown(HWND hwnd);

}  // namespace win32
