// The application object: it creates and owns every long-lived component,
// runs the start-up checks, the progress timer and the message loop, and
// tears everything down in order.
#pragma once

#include <memory>

#include "controls/ot_host.h"
#include "platform/win32/user.h"

class OstMainWindow;
class OstMpris;
class OstOverlay;
class OstPlayEngine;
class OstSkin;
class OstTray;

// The main window's user data holds it as the controls' host.
class OstApplication final : public OstHost {
public:
    OstApplication();
    ~OstApplication();
    OstApplication(const OstApplication&) = delete;
    OstApplication& operator=(const OstApplication&) = delete;

    bool Initialize();
    int Run();
    void Quit();

    OstOverlay* GetOverlay() const { return m_pOverlay.get(); }
    OstMainWindow* GetMainWindow() const { return m_pMainWindow.get(); }
    OstTray* GetTray() const { return m_pTray.get(); }
    OstMpris* GetMpris() const { return m_pMpris.get(); }

    OstPlayEngine* GetPlayEngine() const override { return m_pPlayEngine.get(); }
    OstSkin* GetSkin() const override { return m_pSkin.get(); }
    OstMenuManager* GetMenuManager() const override;
    void ShowHint(HWND hWnd, const OstHint& hint) override;
    void HideHint(int nOwner) override;

    static void ProgressTimerProc(PVOID parameter, BOOL timerOrWaitFired);

private:
    // Released one by one, in the shutdown order, by the destructor.
    HANDLE m_hProgressTimer;
    std::unique_ptr<OstTray> m_pTray;
    std::unique_ptr<OstOverlay> m_pOverlay;
    std::unique_ptr<OstMainWindow> m_pMainWindow;
    std::unique_ptr<OstSkin> m_pSkin;
    std::unique_ptr<OstPlayEngine> m_pPlayEngine;
    std::unique_ptr<OstMpris> m_pMpris;
};

int wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
