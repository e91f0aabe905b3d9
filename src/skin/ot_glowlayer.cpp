#include "skin/ot_glowlayer.h"

using namespace Gdiplus;

void OstBlurBitmap(const OstBlurKernel& kernel, Bitmap* pBitmap, int cx, int cy) {
    Rect whole(0, 0, cx, cy);
    BitmapData data;
    if (pBitmap->LockBits(&whole, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) return;
    kernel.Apply(&data);
    pBitmap->UnlockBits(&data);
}

OstGlowLayer::OstGlowLayer(int cx, int cy)
    : m_pBitmap(new Bitmap(cx, cy, PixelFormat32bppARGB)), m_pGraphics(new Graphics(m_pBitmap)), m_cx(cx), m_cy(cy) {
    m_pGraphics->SetSmoothingMode(SmoothingModeAntiAlias);
}

OstGlowLayer::~OstGlowLayer() {
    delete m_pGraphics;
    delete m_pBitmap;
}

void OstGlowLayer::Blur(const OstBlurKernel& kernel) { OstBlurBitmap(kernel, m_pBitmap, m_cx, m_cy); }
