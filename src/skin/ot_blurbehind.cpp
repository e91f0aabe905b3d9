#include "skin/ot_blurbehind.h"

#include "platform/win32/dwm.h"

bool OstEnableBlurBehind(HWND hWnd, HRGN hRegion) {
    BOOL composition = FALSE;
    DwmIsCompositionEnabled(&composition);
    if (!composition) return false;
    DWM_BLURBEHIND blur = {};
    blur.dwFlags = DWM_BB_ENABLE;
    if (hRegion) blur.dwFlags |= DWM_BB_BLURREGION;
    blur.fEnable = TRUE;
    blur.hRgnBlur = hRegion;
    blur.fTransitionOnMaximized = FALSE;
    DwmEnableBlurBehindWindow(hWnd, &blur);
    return true;
}
