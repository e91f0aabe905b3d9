#include "skin/ot_staticcache.h"

#include <new>

#include "platform/win32/assertion.h"
#include "platform/win32/gdi.h"
#include "platform/win32/user.h"

OstStaticCache::OstStaticCache() : m_bmCache(NULL), m_hdcCache(NULL), m_cx(0), m_cy(0) {}

OstStaticCache::~OstStaticCache() {
    if (m_bmCache) {
        DeleteObject(m_bmCache);
        m_bmCache = NULL;
    }
}

bool OstStaticCache::Create(HWND hwnd, int cx, int cy) {
    HDC hdcWindow = GetDC(hwnd);
    m_bmCache = CreateCompatibleBitmap(hdcWindow, cx, cy);
    ReleaseDC(hwnd, hdcWindow);
    m_cx = cx;
    m_cy = cy;
    return true;
}

void OstStaticCache::OpenDC(HWND hwnd) {
    HDC hdcWindow = GetDC(hwnd);
    m_hdcCache = CreateCompatibleDC(hdcWindow);
    ReleaseDC(hwnd, hdcWindow);
    SelectObject(m_hdcCache, m_bmCache);
}

void OstStaticCache::CloseDC() {
    if (m_hdcCache) {
        DeleteDC(m_hdcCache);
        m_hdcCache = NULL;
    }
}

HDC OstStaticCache::BeginDC(HWND hwnd) {
    OST_ASSERT(m_bmCache);
    OpenDC(hwnd);
    return m_hdcCache;
}

void OstStaticCache::EndDC() { CloseDC(); }

Gdiplus::Graphics* OstStaticCache::BeginGraphics(HWND hwnd) {
    OST_ASSERT(m_bmCache);
    OpenDC(hwnd);
    return new (std::nothrow) Gdiplus::Graphics(m_hdcCache);
}

void OstStaticCache::EndGraphics(Gdiplus::Graphics* g) {
    if (g) delete g;
    CloseDC();
}

void OstStaticCache::Draw(HDC hdcDest, int x, int y) {
    m_hdcCache = CreateCompatibleDC(hdcDest);
    SelectObject(m_hdcCache, m_bmCache);
    BitBlt(hdcDest, x, y, m_cx, m_cy, m_hdcCache, 0, 0, SRCCOPY);
    CloseDC();
}
