// The intermediate every glowing shape is painted on: a transparent ARGB
// bitmap of the image's size where the shape is filled in the glow colour,
// blurred, and filled again sharp on top of its own halo.
#pragma once

#include "platform/win32/gdiplus.h"
#include "skin/ot_blurkernel.h"

class OstGlowLayer {
public:
    // Starts all transparent black, anti-aliased.
    OstGlowLayer(int cx, int cy);
    ~OstGlowLayer();
    OstGlowLayer(const OstGlowLayer&) = delete;
    OstGlowLayer& operator=(const OstGlowLayer&) = delete;

    // fillShape(graphics, brush) fills the shape; it runs once with the glow
    // brush, then, after the blur, once with the fill brush. The layer's
    // Graphics is gone afterwards, leaving the bitmap ready to be copied.
    template <typename FillShape>
    void Paint(const OstBlurKernel& kernel, Gdiplus::Brush* pGlow, Gdiplus::Brush* pFill, FillShape fillShape) {
        fillShape(*m_pGraphics, pGlow);
        Blur(kernel);
        fillShape(*m_pGraphics, pFill);
        delete m_pGraphics;
        m_pGraphics = nullptr;
    }

    Gdiplus::Bitmap* GetBitmap() { return m_pBitmap; }

private:
    void Blur(const OstBlurKernel& kernel);

    Gdiplus::Bitmap* m_pBitmap;
    Gdiplus::Graphics* m_pGraphics;
    int m_cx;
    int m_cy;
};

// Locks the whole 32-bit ARGB bitmap for reading and writing and blurs it.
void OstBlurBitmap(const OstBlurKernel& kernel, Gdiplus::Bitmap* pBitmap, int cx, int cy);
