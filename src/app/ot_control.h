// The application object that owns every long-lived component, and the
// main window: its class, creation, window procedure, dragging and drops.
#pragma once

#include "platform/win32/gdi.h"
#include "platform/win32/user.h"

class OstMainWindow;
class OstOverlay;
class OstPlayEngine;
class OstSkin;
class OstStaticCache;
class OstTray;
class OstWidget;

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

    static void ProgressTimerProc(PVOID parameter, BOOL timerOrWaitFired);

private:
    HANDLE m_hProgressTimer;
    OstTray* m_pTray;
    OstOverlay* m_pOverlay;
    OstMainWindow* m_pMainWindow;
    OstSkin* m_pSkin;
    OstPlayEngine* m_pPlayEngine;
};

class OstMainWindow {
public:
    explicit OstMainWindow(OstApplication* application);
    ~OstMainWindow();
    OstMainWindow(const OstMainWindow&) = delete;
    OstMainWindow& operator=(const OstMainWindow&) = delete;

    bool Create();
    ATOM RegisterWindowClass();
    bool EnableBlur(HRGN region);
    HWND GetHwnd() const;
    void Paint(HDC dc);
    // Creates the container and the buttons, in their hit-test order.
    void CreateControls(HWND window);
    OstWidget* GetWidget() const { return m_pWidget; }

    static LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    OstApplication* m_pApplication;
    OstWidget* m_pWidget;
    HWND m_hWnd;
    HRGN m_hBlurRegion;
    OstStaticCache* m_pStaticCache;
};

int wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
