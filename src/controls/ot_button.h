// The base of the main window's skinned buttons. A button owns no window: it
// knows its kind, its rectangle in the main window's client area and whether
// it is painted once into the static layer. The container (OstWidget) owns
// every button, keeps the pressed and hovered state and calls the virtual
// operations below, always with the main window's handle, on the UI thread.
#pragma once

#include "common/ot_layout.h"
#include "platform/win32/gdiplus.h"
#include "platform/win32/user.h"

class OstSkin;

class OstButton {
public:
    // Kind codes; each selects the glyph of the base painting.
    enum {
        kClose = 1,
        kMinimize = 2,
        kPlay = 3,  // paints itself
        kStop = 4,
        kPrev = 5,
        kNext = 6,
        kVolume = 7,
    };

    OstButton(int nKind, Gdiplus::Rect rcButton, bool bStatic);
    OstButton(const OstButton&) = delete;
    OstButton& operator=(const OstButton&) = delete;

    // The container clears this button's pressed state. Result ignored.
    virtual int OnRelease(HWND hWnd);
    // A left press inside the button, unless it already is the pressed one.
    // Nonzero: the button stays pressed until the container releases it.
    virtual int OnClick(HWND hWnd);
    // The pointer moved onto the button, which became the hovered one (never
    // while it is pressed), and moved off it again. Results ignored.
    virtual int OnMouseEnter(HWND hWnd);
    virtual int OnMouseLeave(HWND hWnd);
    // Blends the kind's glyph over hdc at the button's rectangle. A static
    // button is painted once, before the skin releases its glyph; others on
    // every paint.
    virtual int Paint(HWND hWnd, HDC hdc, OstSkin* pSkin);
    virtual ~OstButton();

    Gdiplus::Rect& GetRect() { return m_rcButton; }
    bool IsStatic() const { return m_bStatic; }
    int GetKind() const { return m_nKind; }

    // Left and top edges inside, right and bottom edges outside.
    bool Contains(int x, int y) const;

protected:
    // Blends bmGlyph, rendered at the button's size, over hdc at the
    // button's rectangle through a memory DC made for the call.
    void BlendGlyph(HWND hWnd, HDC hdc, HBITMAP bmGlyph);

    int m_nKind;
    Gdiplus::Rect m_rcButton;
    bool m_bStatic;
};

// The RECT that covers rc, for InvalidateRect.
RECT ButtonRect(const Gdiplus::Rect& rc);
// A button's place in the layout as the rectangle the button keeps.
Gdiplus::Rect LayoutRect(const OstLayout::Box& box);
