// Dispatches every message waiting on the UI thread, WM_PAINT included.
#pragma once

#include "platform/win32/user.h"

inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) DispatchMessageW(&msg);
}
