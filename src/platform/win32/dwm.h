// The desktop compositor: composition state and blur behind a window.
#pragma once

#include "platform/win32/types.h"

#define DWM_BB_ENABLE 0x00000001
#define DWM_BB_BLURREGION 0x00000002
#define DWM_BB_TRANSITIONONMAXIMIZED 0x00000004

struct DWM_BLURBEHIND {
    DWORD dwFlags;
    BOOL fEnable;
    HRGN hRgnBlur;
    BOOL fTransitionOnMaximized;
};

HRESULT DwmIsCompositionEnabled(BOOL* enabled);
HRESULT DwmEnableBlurBehindWindow(HWND hwnd, const DWM_BLURBEHIND* blurBehind);
