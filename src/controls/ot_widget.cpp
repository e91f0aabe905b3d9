#include "controls/ot_widget.h"

#include "controls/ot_button.h"
#include "platform/win32/assertion.h"
#include "platform/win32/gdi.h"
#include "skin/ot_staticcache.h"

using namespace Gdiplus;

namespace {

constexpr ARGB kPressedColor = 0x7899CCFF;  // the glyph colour at alpha 120
constexpr ARGB kHoverColor = 0x3C99CCFF;    // and at alpha 60

}  // namespace

// The paths are members, so they exist (empty) before the body runs.
OstWidget::OstWidget() : m_pathPressed(FillModeAlternate), m_pathHover(FillModeAlternate) {
    m_nButtons = 0;
    m_pRegion = NULL;
    GdipCreateRegion(&m_pRegion);
    if (m_pRegion) GdipSetEmpty(m_pRegion);
    m_nPressed = -1;
    m_nHover = -1;
    m_pPressedBrush = std::make_unique<SolidBrush>(Color(kPressedColor));
    m_pHoverBrush = std::make_unique<SolidBrush>(Color(kHoverColor));
}

// The paths go after the body, m_pathHover first (members in reverse).
OstWidget::~OstWidget() {
    m_pPressedBrush.reset();
    m_pHoverBrush.reset();
    if (m_pRegion) {
        GdipDeleteRegion(m_pRegion);
        m_pRegion = NULL;
    }
    for (UINT i = 0; i < m_nButtons; ++i) m_pButtons[i].reset();
}

void OstWidget::Add(OstButton* pButton) {
    if (!pButton) return;
    if (m_nButtons >= static_cast<UINT>(kMaxButtons)) {
        OST_ASSERT_FAILED("m_nButtons < 64");
        delete pButton;
        return;
    }
    m_pButtons[m_nButtons].reset(pButton);
    if (m_pRegion) GdipCombineRegionRectI(m_pRegion, &pButton->GetRect(), CombineModeUnion);
    ++m_nButtons;
}

UINT OstWidget::ButtonAt(Point pt) const {
    UINT i = 0;
    while (i < m_nButtons && !m_pButtons[i]->Contains(pt.X, pt.Y)) ++i;
    return i;
}

int OstWidget::OnMouseMove(HWND hWnd, Point pt) {
    UINT i = ButtonAt(pt);
    int index = i < m_nButtons ? static_cast<int>(i) : -1;
    if (m_nHover != -1 && m_nHover != index) ClearHover(hWnd);
    if (index != -1 && index != m_nHover && index != m_nPressed) {
        m_pButtons[i]->OnMouseEnter(hWnd);
        m_nHover = index;
        RECT rc = ButtonRect(m_pButtons[i]->GetRect());
        InvalidateRect(hWnd, &rc, TRUE);
        BuildHighlight(&m_pathHover, m_pButtons[i]->GetRect());
    }
    return 0;
}

int OstWidget::OnLButtonDown(HWND hWnd, Point pt) {
    UINT i = ButtonAt(pt);
    if (i >= m_nButtons || static_cast<int>(i) == m_nPressed) return 0;
    if (m_nPressed != -1) ClearPressed(hWnd);
    // The button may destroy the window (close); invalidating a destroyed
    // window afterwards does nothing.
    bool pressed = m_pButtons[i]->OnClick(hWnd) != 0;
    if (pressed) m_nPressed = static_cast<int>(i);
    RECT rc = ButtonRect(m_pButtons[i]->GetRect());
    InvalidateRect(hWnd, &rc, TRUE);
    if (pressed) BuildHighlight(&m_pathPressed, m_pButtons[i]->GetRect());
    return 0;
}

int OstWidget::ClearPressed(HWND hWnd) {
    if (m_nPressed == -1) return 0;
    OstButton* pButton = m_pButtons[m_nPressed].get();
    RECT rc = ButtonRect(pButton->GetRect());
    pButton->OnRelease(hWnd);
    m_nPressed = -1;
    InvalidateRect(hWnd, &rc, TRUE);
    return 0;
}

int OstWidget::ClearHover(HWND hWnd) { return EndHover(hWnd, 1); }

int OstWidget::OnMenuClosed(HWND hWnd) { return EndHover(hWnd, 0); }

int OstWidget::EndHover(HWND hWnd, int nWiden) {
    if (m_nHover == -1) return 0;
    OstButton* pButton = m_pButtons[m_nHover].get();
    RECT rc = ButtonRect(pButton->GetRect());
    rc.right += nWiden;
    pButton->OnMouseLeave(hWnd);
    InvalidateRect(hWnd, &rc, TRUE);
    m_nHover = -1;
    return 0;
}

void OstWidget::BuildHighlight(GraphicsPath* pPath, const Rect& rc) {
    INT right = rc.X + rc.Width;
    INT bottom = rc.Y + rc.Height;
    GdipResetPath(pPath);
    GdipAddPathArcI(pPath, rc.X, rc.Y - 1, 5, 5, 180, 90);
    GdipAddPathArcI(pPath, right - 5, rc.Y - 1, 5, 5, 270, 90);
    GdipAddPathLineI(pPath, right, bottom - 4, rc.X, bottom - 4);
    GdipClosePathFigures(pPath);
}

void OstWidget::PaintStatic(HWND hWnd, OstStaticCache* pCache, OstSkin* pSkin) {
    HDC hdc = pCache->BeginDC(hWnd);
    for (UINT i = 0; i < m_nButtons; ++i)
        if (m_pButtons[i]->IsStatic()) m_pButtons[i]->Paint(hWnd, hdc, pSkin);
    pCache->EndDC();
}

int OstWidget::Paint(HWND hWnd, Graphics* pGraphics, OstSkin* pSkin) {
    HDC hdc = NULL;
    GdipGetDC(pGraphics, &hdc);
    for (UINT i = 0; i < m_nButtons; ++i)
        if (!m_pButtons[i]->IsStatic()) m_pButtons[i]->Paint(hWnd, hdc, pSkin);
    GdipReleaseDC(pGraphics, hdc);
    if (m_nPressed != -1) GdipFillPath(pGraphics, m_pPressedBrush.get(), &m_pathPressed);
    if (m_nHover != -1 && m_nHover != m_nPressed) GdipFillPath(pGraphics, m_pHoverBrush.get(), &m_pathHover);
    return 0;
}

BOOL OstWidget::IsOverButton(int x, int y) {
    BOOL visible = FALSE;
    if (m_pRegion) GdipIsVisibleRegionPointI(m_pRegion, x, y, NULL, &visible);
    return visible;
}

OstButton* OstWidget::FindButton(int nKind) const {
    for (UINT i = 0; i < m_nButtons; ++i)
        if (m_pButtons[i]->GetKind() == nKind) return m_pButtons[i].get();
    return NULL;
}
