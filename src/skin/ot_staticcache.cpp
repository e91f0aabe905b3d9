#include "skin/ot_staticcache.h"

#include <new>

#include "platform/win32/assertion.h"
#include "platform/win32/gdi.h"
#include "skin/ot_windowdc.h"

OstStaticCache::OstStaticCache() : m_bmCache(NULL), m_hdcCache(NULL), m_cx(0), m_cy(0) {}

OstStaticCache::~OstStaticCache() {
    if (m_bmCache) {
        DeleteObject(m_bmCache);
        m_bmCache = NULL;
    }
}

bool OstStaticCache::Create(HWND hwnd, int cx, int cy) {
    OstWindowDC hdc(hwnd);
    m_bmCache = CreateCompatibleBitmap(hdc.Get(), cx, cy);
    m_cx = cx;
    m_cy = cy;
    return true;
}

void OstStaticCache::OpenDC(HWND hwnd) {
    {
        OstWindowDC hdc(hwnd);
        m_hdcCache = CreateCompatibleDC(hdc.Get());
    }
    SelectObject(m_hdcCache, m_bmCache);
}

void OstStaticCache::CloseDC() {
    if (m_hdcCache) {
        DeleteDC(m_hdcCache);
        m_hdcCache = NULL;
    }
}

HDC& OstStaticCache::BeginDC(HWND hwnd) {
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
