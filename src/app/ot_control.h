// The application object that owns every long-lived component, and the
// main window: its class, creation, window procedure, dragging and drops.
#pragma once

#include "platform/win32/gdi.h"
#include "platform/win32/user.h"

class OstMainWindow;

class OstApplication {
public:
    OstApplication();
    ~OstApplication();
    OstApplication(const OstApplication&) = delete;
    OstApplication& operator=(const OstApplication&) = delete;

    bool Initialize();
    int Run();
    void Quit();

    OstMainWindow* GetMainWindow() const { return m_pMainWindow; }

    static void ProgressTimerProc(PVOID parameter, BOOL timerOrWaitFired);

private:
    HANDLE m_hProgressTimer;
    OstMainWindow* m_pMainWindow;
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

    static LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    OstApplication* m_pApplication;
    HWND m_hWnd;
    HRGN m_hBlurRegion;
};

int wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
