// The DC that skin and cache bitmaps are made compatible with: the window's
// own, or a memory DC when the window has none to give (no window yet, or a
// window whose DC cannot be had). Released as it was obtained.
#pragma once

#include "platform/win32/gdi.h"
#include "platform/win32/user.h"

class OstWindowDC {
public:
    explicit OstWindowDC(HWND hwnd) : m_hWnd(hwnd), m_hdcWindow(GetDC(hwnd)), m_hdc(m_hdcWindow) {
        if (!m_hdc) m_hdc = CreateCompatibleDC(NULL);
    }
    ~OstWindowDC() {
        if (m_hdcWindow)
            ReleaseDC(m_hWnd, m_hdcWindow);
        else if (m_hdc)
            DeleteDC(m_hdc);
    }
    OstWindowDC(const OstWindowDC&) = delete;
    OstWindowDC& operator=(const OstWindowDC&) = delete;

    HDC Get() const { return m_hdc; }

private:
    HWND m_hWnd;
    HDC m_hdcWindow;
    HDC m_hdc;
};
