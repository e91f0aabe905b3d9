// shell32: files dropped on a window, and the notification-area icon.
#pragma once

#include "platform/win32/types.h"

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR file, UINT cch);
void DragFinish(HDROP drop);
BOOL DragQueryPoint(HDROP drop, POINT* point);

// Notification-area (tray) icons
#define NIM_ADD 0x00000000
#define NIM_DELETE 0x00000002

#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

struct NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
    HICON hBalloonIcon;
};
using PNOTIFYICONDATAW = NOTIFYICONDATAW*;

// The record's size as Windows counts it in its current form (16-bit WCHARs,
// 32-bit handles); callers put it in cbSize, as they would on Windows.
#define NOTIFYICONDATAW_CURRENT_SIZE 956

// NIM_ADD shows the icon in the desktop's tray; it fails when the desktop has
// no tray at all, but the icon is kept and appears once a tray turns up.
// Pointer input over the icon arrives as uCallbackMessage posted to hWnd,
// wParam uID and lParam the mouse message (WM_LBUTTONDOWN, WM_LBUTTONDBLCLK
// for a second left press within the double-click time, WM_LBUTTONUP,
// WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MOUSEMOVE). NIM_DELETE removes it from
// whichever tray holds it.
BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data);
