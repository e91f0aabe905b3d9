// The tray icon and its left-click toggle.
#include "app/ot_tray.h"

#include <cwchar>

#include "common/ot_messages.h"
#include "platform/win32/assertion.h"
#include "platform/win32/kernel.h"

namespace {

constexpr int kIconResource = 6007;

}  // namespace

OstTray::OstTray(HWND window) : niData() {
    niData.cbSize = NOTIFYICONDATAW_CURRENT_SIZE;
    niData.hWnd = window;
    niData.uID = 1;
    niData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    niData.uCallbackMessage = WM_TRAYICON;
    niData.hIcon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    std::wcsncpy(niData.szTip, L"OstPlayer [Preview]", sizeof(niData.szTip) / sizeof(niData.szTip[0]) - 1);
    if (!Shell_NotifyIconW(NIM_ADD, &niData)) OST_ASSERT_FAILED("Shell_NotifyIcon(NIM_ADD, &(this->niData))");
}

OstTray::~OstTray() { Shell_NotifyIconW(NIM_DELETE, &niData); }

LRESULT OstTray::OnNotify(HWND window, LPARAM mouseMessage) {
    if (mouseMessage != WM_LBUTTONDOWN && mouseMessage != WM_LBUTTONDBLCLK) return 0;
    if (IsWindowVisible(window)) {
        ShowWindow(window, SW_HIDE);
    } else {
        ShowWindow(window, SW_SHOW);
        InvalidateRect(window, NULL, TRUE);
    }
    return 0;
}
