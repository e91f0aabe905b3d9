#include "app/ot_overlay.h"

#include <cmath>

#include "common/ot_layout.h"
#include "platform/win32/gdi.h"
#include "skin/ot_skin.h"
#include "skin/ot_staticcache.h"

namespace {

using OstLayout::kBubbleHeight;
using OstLayout::kBubbleTipX;
using OstLayout::kBubbleTop;
using OstLayout::kBubbleWidth;

}  // namespace

OstOverlay::OstOverlay()
    : m_nHintOwner(0), m_nHintCenterX(0), m_hHintWnd(NULL), m_bHintVisible(false), m_nGdiplusToken(0) {}

OstOverlay::~OstOverlay() {
    m_pProgressBrush.reset();
    if (m_nGdiplusToken) {
        Gdiplus::GdiplusShutdown(m_nGdiplusToken);
        m_nGdiplusToken = 0;
    }
}

int OstOverlay::Startup() {
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = NULL;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    if (Gdiplus::GdiplusStartup(&m_nGdiplusToken, &input, NULL) != Gdiplus::Ok) return 1;
    m_pProgressBrush = std::make_unique<Gdiplus::SolidBrush>(Gdiplus::Color(OstLayout::kGlowColor));
    return 0;
}

void OstOverlay::SetHint(HWND window, const OstHint& hint) {
    m_hHintWnd = window;
    m_nHintOwner = hint.nOwner;
    m_nHintCenterX = hint.nCenterX;
}

void OstOverlay::ShowHint() {
    m_bHintVisible = true;
    InvalidateHintArea();
}

void OstOverlay::HideHint() {
    if (!m_bHintVisible) return;
    m_bHintVisible = false;
    InvalidateHintArea();
}

void OstOverlay::InvalidateHintArea() {
    RECT area;
    SetRect(&area, m_nHintCenterX - kBubbleTipX, kBubbleTop, m_nHintCenterX + kBubbleTipX, kBubbleTop + kBubbleHeight);
    InvalidateRect(m_hHintWnd, &area, TRUE);
}

void OstOverlay::ComposeBackground(HWND window, OstStaticCache* cache, OstSkin* skin) {
    HDC hdcCache = cache->BeginDC(window);
    HDC hdcWindow = GetDC(window);
    HDC hdcPanel = CreateCompatibleDC(hdcWindow);
    ReleaseDC(window, hdcWindow);
    HGDIOBJ previous = SelectObject(hdcPanel, skin->GetPanel());
    BitBlt(hdcCache, OstLayout::kPanel.x, OstLayout::kPanel.y, OstLayout::kPanel.width, OstLayout::kPanel.height,
           hdcPanel, 0, 0, SRCCOPY);
    SelectObject(hdcPanel, previous);
    DeleteDC(hdcPanel);
    cache->EndDC();
}

void OstOverlay::Paint(Gdiplus::Graphics* graphics, float fraction, OstSkin* skin) {
    // Anything outside (0, 1], NaN included, draws no bar.
    if (fraction > 0 && fraction <= 1) {
        int width = static_cast<int>(fraction * OstLayout::kBarWidth);
        graphics->FillRectangle(m_pProgressBrush.get(), OstLayout::kBarLeft, OstLayout::kProgressTop, width,
                                OstLayout::kBarHeight);
    }
    if (m_bHintVisible) {
        HDC hdc = graphics->GetHDC();
        HDC hdcBubble = CreateCompatibleDC(hdc);
        HGDIOBJ previous = SelectObject(hdcBubble, skin->GetBubble());
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(hdc, m_nHintCenterX - kBubbleTipX, kBubbleTop, kBubbleWidth, kBubbleHeight, hdcBubble, 0, 0,
                   kBubbleWidth, kBubbleHeight, blend);
        SelectObject(hdcBubble, previous);
        DeleteDC(hdcBubble);
        graphics->ReleaseHDC(hdc);
    }
}
