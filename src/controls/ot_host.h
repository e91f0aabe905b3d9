// What the buttons need of the program around them. The main window's
// GWL_USERDATA holds the application as this interface, so the controls
// reach the engine, the skin, the menu manager and the hint bubble without
// knowing the application's class. UI thread only.
#pragma once

#include "platform/win32/user.h"

class OstMenuManager;
class OstPlayEngine;
class OstSkin;

// The hint bubble's owner and where its tip points.
struct OstHint {
    int nOwner;    // 1 play button, 2 stop button
    int nCenterX;  // client x of the bubble's centre
};

class OstHost {
public:
    // The host stored in `hWnd`'s user data; null for a window without one.
    static OstHost* Of(HWND hWnd) { return reinterpret_cast<OstHost*>(GetWindowLongW(hWnd, GWL_USERDATA)); }

    virtual OstPlayEngine* GetPlayEngine() const = 0;
    virtual OstSkin* GetSkin() const = 0;
    // Null until the main window has made it.
    virtual OstMenuManager* GetMenuManager() const = 0;
    // Shows the bubble for `hint` over `hWnd`'s client area.
    virtual void ShowHint(HWND hWnd, const OstHint& hint) = 0;
    // Hides the bubble if `nOwner` still owns it.
    virtual void HideHint(int nOwner) = 0;

protected:
    ~OstHost() = default;
};

// The skin and the menu manager of the host in `hWnd`; null without a host.
inline OstSkin* OstHostSkin(HWND hWnd) {
    OstHost* host = OstHost::Of(hWnd);
    return host ? host->GetSkin() : nullptr;
}

inline OstMenuManager* OstHostMenuManager(HWND hWnd) {
    OstHost* host = OstHost::Of(hWnd);
    return host ? host->GetMenuManager() : nullptr;
}
