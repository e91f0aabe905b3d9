// The compositor's blur behind a window, shared by the main window and the
// menu window. UI thread only.
#pragma once

#include "platform/win32/types.h"

// Blurs what lies behind `hWnd`, inside `hRegion` (in client coordinates)
// or, for a null region, behind the whole window. False, and nothing asked
// of the compositor, while composition is off.
bool OstEnableBlurBehind(HWND hWnd, HRGN hRegion);
