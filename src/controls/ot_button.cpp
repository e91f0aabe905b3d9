#include "controls/ot_button.h"

#include "platform/win32/gdi.h"
#include "skin/ot_skin.h"

RECT ButtonRect(const Gdiplus::Rect& rc) {
    RECT r;
    SetRect(&r, rc.X, rc.Y, rc.X + rc.Width, rc.Y + rc.Height);
    return r;
}

Gdiplus::Rect LayoutRect(const OstLayout::Box& box) { return Gdiplus::Rect(box.x, box.y, box.width, box.height); }

OstButton::OstButton(int nKind, Gdiplus::Rect rcButton, bool bStatic)
    : m_nKind(nKind), m_rcButton(rcButton), m_bStatic(bStatic) {}

OstButton::~OstButton() {}

int OstButton::OnRelease(HWND) { return 0; }

int OstButton::OnClick(HWND) { return 1; }

int OstButton::OnMouseEnter(HWND) { return 0; }

int OstButton::OnMouseLeave(HWND) { return 0; }

bool OstButton::Contains(int x, int y) const {
    return x >= m_rcButton.X && x < m_rcButton.X + m_rcButton.Width && y >= m_rcButton.Y &&
           y < m_rcButton.Y + m_rcButton.Height;
}

int OstButton::Paint(HWND hWnd, HDC hdc, OstSkin* pSkin) {
    switch (m_nKind) {
    case kClose: BlendGlyph(hWnd, hdc, pSkin->m_bmClose); break;
    case kMinimize: BlendGlyph(hWnd, hdc, pSkin->m_bmMinimize); break;
    case kStop: BlendGlyph(hWnd, hdc, pSkin->m_bmStop); break;
    case kPrev: BlendGlyph(hWnd, hdc, pSkin->m_bmPrev); break;
    case kNext: BlendGlyph(hWnd, hdc, pSkin->m_bmNext); break;
    case kVolume: BlendGlyph(hWnd, hdc, pSkin->m_bmVolume); break;
    default: break;  // the play button paints itself; unknown kinds draw nothing
    }
    return 0;
}

void OstButton::BlendGlyph(HWND hWnd, HDC hdc, HBITMAP bmGlyph) {
    HDC hdcWindow = GetDC(hWnd);
    HDC hdcGlyph = CreateCompatibleDC(hdcWindow);
    ReleaseDC(hWnd, hdcWindow);
    // A released glyph (null) selects nothing, and the blend from the DC's
    // default 1x1 bitmap draws nothing.
    SelectObject(hdcGlyph, bmGlyph);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(hdc, m_rcButton.X, m_rcButton.Y, m_rcButton.Width, m_rcButton.Height, hdcGlyph, 0, 0, m_rcButton.Width,
               m_rcButton.Height, blend);
    DeleteDC(hdcGlyph);
}
