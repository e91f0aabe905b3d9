// The tray icon: the way back to the main window once minimize has hidden
// it. A left click (or each press of a double click) on the icon toggles the
// window's visibility; everything else over the icon does nothing.
#pragma once

#include "platform/win32/shell.h"
#include "platform/win32/user.h"

class OstTray {
public:
    // Adds the icon for `window`; a failed add is reported as an assertion
    // and the object stays.
    explicit OstTray(HWND window);
    // Removes the icon; the result is not looked at.
    ~OstTray();
    OstTray(const OstTray&) = delete;
    OstTray& operator=(const OstTray&) = delete;

    // WM_TRAYICON's handling: `mouseMessage` is the message's lParam.
    LRESULT OnNotify(HWND window, LPARAM mouseMessage);

private:
    NOTIFYICONDATAW niData;
};
