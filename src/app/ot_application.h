// The application object: it creates and owns every long-lived component,
// runs the start-up checks, the progress timer and the message loop, and
// tears everything down in order.
#pragma once

#include "platform/win32/user.h"

class OstMainWindow;
class OstMpris;
class OstOverlay;
class OstPlayEngine;
class OstSkin;
class OstTray;

class OstApplication {
public:
    OstApplication();
    ~OstApplication();
    OstApplication(const OstApplication&) = delete;
    OstApplication& operator=(const OstApplication&) = delete;

    bool Initialize();
    int Run();
    void Quit();

    OstOverlay* GetOverlay() const { return m_pOverlay; }
    OstMainWindow* GetMainWindow() const { return m_pMainWindow; }
    OstSkin* GetSkin() const { return m_pSkin; }
    OstPlayEngine* GetPlayEngine() const { return m_pPlayEngine; }
    OstTray* GetTray() const { return m_pTray; }
    OstMpris* GetMpris() const { return m_pMpris; }

    static void ProgressTimerProc(PVOID parameter, BOOL timerOrWaitFired);

private:
    HANDLE m_hProgressTimer;
    OstTray* m_pTray;
    OstOverlay* m_pOverlay;
    OstMainWindow* m_pMainWindow;
    OstSkin* m_pSkin;
    OstPlayEngine* m_pPlayEngine;
    OstMpris* m_pMpris;
};

int wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
