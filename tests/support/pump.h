// Dispatches every message waiting on the UI thread, WM_PAINT included, up
// to a WM_QUIT; returns how many were dispatched.
#pragma once

#include "platform/win32/user.h"

inline int Pump() {
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) {
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}
