// An off-screen device bitmap of what never changes once drawn: the main
// window's panel and static glyphs, or a menu's frame. Owners fill it once
// through a begin/end pair and copy it whole on every paint.
//
// One memory DC slot serves every operation, so begin/end pairs must not nest
// and Draw must not run between a begin and its end. UI thread only.
#pragma once

#include "platform/win32/gdiplus.h"
#include "platform/win32/types.h"

class OstStaticCache {
public:
    OstStaticCache();
    ~OstStaticCache();
    OstStaticCache(const OstStaticCache&) = delete;
    OstStaticCache& operator=(const OstStaticCache&) = delete;

    // Makes the cx x cy bitmap, compatible with the window's DC, all zero
    // (see-through under the black colour key). Always reports success.
    bool Create(HWND hwnd, int cx, int cy);

    // Opens a memory DC with the cache bitmap selected; close it with EndDC.
    HDC BeginDC(HWND hwnd);
    void EndDC();

    // As BeginDC, wrapped in a Graphics the caller hands back to EndGraphics.
    // Null when the Graphics cannot be allocated.
    Gdiplus::Graphics* BeginGraphics(HWND hwnd);
    void EndGraphics(Gdiplus::Graphics* g);

    // Plain copy of the whole image, black included, with its top-left at
    // (x, y) of hdcDest.
    void Draw(HDC hdcDest, int x, int y);

private:
    void OpenDC(HWND hwnd);
    void CloseDC();

    HBITMAP m_bmCache;
    HDC m_hdcCache;
    int m_cx;
    int m_cy;
};
