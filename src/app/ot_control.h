// The main window: its class, creation, window procedure, dragging and drops.
#pragma once

#include <memory>

#include "platform/win32/gdi.h"
#include "platform/win32/user.h"

class OstApplication;
class OstMenuManager;
class OstStaticCache;
class OstWidget;

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
    OstWidget* GetWidget() const { return m_pWidget.get(); }
    // Null until Create has made it.
    OstMenuManager* GetMenuManager() const { return m_pMenuManager.get(); }

    static LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // Released one by one, in the shutdown order, by the destructor.
    OstApplication* m_pApplication;
    std::unique_ptr<OstWidget> m_pWidget;
    HWND m_hWnd;
    HRGN m_hBlurRegion;
    std::unique_ptr<OstMenuManager> m_pMenuManager;
    std::unique_ptr<OstStaticCache> m_pStaticCache;
};
