// The skin: every image of the player's look, painted once at start-up with
// GDI+ into device-compatible bitmaps. No image is painted again afterwards;
// buttons and menus only copy or blend the finished bitmaps.
//
// Lifecycle: constructed (all handles null) -> Build (all thirteen exist) ->
// ReleaseStaticImages once the main static cache holds the panel and static
// glyphs (play, pause, bubble and the menu slices remain) -> destroyed.
// UI thread only.
#pragma once

#include <memory>

#include "platform/win32/gdiplus.h"
#include "platform/win32/types.h"
#include "skin/ot_blurkernel.h"

class OstSkin {
public:
    OstSkin();
    ~OstSkin();
    OstSkin(const OstSkin&) = delete;
    OstSkin& operator=(const OstSkin&) = delete;

    // Paints all thirteen images, compatible with hwnd's DC. Called once, from
    // main-window creation. Checks no GDI or GDI+ result.
    void Build(HWND hwnd);

    // Frees the seven images only the static layer needs.
    void ReleaseStaticImages();
    // Frees every image; safe on a skin never built, and twice.
    void ReleaseAll();

    HBITMAP GetPanel() const { return m_bmPanel; }
    HBITMAP GetBubble() const { return m_bmBubble; }

    // The painters. Each gets the target Graphics on a memory DC holding its
    // image, then its brushes: glow first, then the fill.
    void PaintPanel(Gdiplus::Graphics* g, Gdiplus::Brush* pGlow, Gdiplus::Brush* pGlass, Gdiplus::Brush* pGlyph);
    void PaintStop(Gdiplus::Graphics* g, Gdiplus::Brush* pGlow, Gdiplus::Brush* pGlyph);
    void PaintPrev(Gdiplus::Graphics* g, Gdiplus::Brush* pGlow, Gdiplus::Brush* pGlyph);
    void PaintVolume(Gdiplus::Graphics* g, Gdiplus::Brush* pGlow, Gdiplus::Brush* pGlyph);
    void PaintPlay(Gdiplus::Graphics* g, Gdiplus::Brush* pGlow, Gdiplus::Brush* pGlyph);
    void PaintPause(Gdiplus::Graphics* g, Gdiplus::Brush* pGlow, Gdiplus::Brush* pGlyph);
    void PaintBubble(Gdiplus::Graphics* g, Gdiplus::Brush* pGlow, Gdiplus::Brush* pGlass);
    // One 180 x 25 frame, cut into its middle (rows 10-14), bottom (15-24)
    // and top (0-9) slices.
    void PaintMenuFrame(Gdiplus::Graphics* gMiddle, Gdiplus::Graphics* gBottom, Gdiplus::Graphics* gTop,
                        Gdiplus::Brush* pGlow, Gdiplus::Brush* pGlass);
    // Plain pen strokes, no glow.
    void PaintClose(Gdiplus::Graphics* g, Gdiplus::Brush* pGlyph);
    void PaintMinimize(Gdiplus::Graphics* g, Gdiplus::Brush* pGlyph);

    std::unique_ptr<OstBlurKernel> m_pKernel;  // goes after the images
    HBITMAP m_bmPanel;                         // 520 x 50
    HBITMAP m_bmMinimize;                      // 7 x 7
    HBITMAP m_bmClose;                         // 7 x 7
    HBITMAP m_bmPause;                         // 55 x 30
    HBITMAP m_bmPlay;                          // 55 x 30
    HBITMAP m_bmStop;                          // 55 x 30
    HBITMAP m_bmPrev;                          // 55 x 30
    HBITMAP m_bmNext;                          // 55 x 30, m_bmPrev mirrored
    HBITMAP m_bmVolume;                        // 55 x 30
    HBITMAP m_bmBubble;                        // 235 x 80
    HBITMAP m_bmMenuMiddle;                    // 180 x 5
    HBITMAP m_bmMenuBottom;                    // 180 x 10
    HBITMAP m_bmMenuTop;                       // 180 x 10
};
