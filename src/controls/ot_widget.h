// The container of the main window's buttons. It owns them, keeps which one
// is pressed and which one is hovered, turns the main window's mouse
// messages into calls of the buttons' operations, invalidates exactly the
// rectangles whose look changed, and paints the buttons and the two
// highlights. A click completes on the press: releases, captures and the
// pointer leaving the window are not looked at. UI thread only, inside the
// main window's message handling.
#pragma once

#include <memory>

#include "platform/win32/gdiplus.h"
#include "platform/win32/user.h"

class OstButton;
class OstSkin;
class OstStaticCache;

class OstWidget {
public:
    static constexpr int kMaxButtons = 64;

    OstWidget();
    virtual ~OstWidget();
    OstWidget(const OstWidget&) = delete;
    OstWidget& operator=(const OstWidget&) = delete;

    // Takes ownership and adds the button's rectangle to the hit region.
    // Buttons are tested in the order added. Beyond kMaxButtons the button
    // is refused (an assertion is reported) and deleted.
    void Add(OstButton* pButton);

    // WM_MOUSEMOVE and WM_LBUTTONDOWN, with the client point. Return 0.
    int OnMouseMove(HWND hWnd, Gdiplus::Point pt);
    int OnLButtonDown(HWND hWnd, Gdiplus::Point pt);
    // Ends the pressed state (the button's OnRelease, its rectangle
    // repainted) and the hover (OnMouseLeave, its rectangle one pixel wider
    // on the right repainted). Each does nothing without such a button.
    int ClearPressed(HWND hWnd);
    int ClearHover(HWND hWnd);
    // As ClearHover, repainting the button's own rectangle.
    int OnMenuClosed(HWND hWnd);

    // Paints the static buttons into the cache; once, at window creation,
    // before the skin releases their glyphs.
    void PaintStatic(HWND hWnd, OstStaticCache* pCache, OstSkin* pSkin);
    // On every paint, after the background: the non-static buttons, then the
    // pressed highlight, then the hover highlight unless it is the same
    // button.
    int Paint(HWND hWnd, Gdiplus::Graphics* pGraphics, OstSkin* pSkin);
    // Whether the client point lies on any button added.
    BOOL IsOverButton(int x, int y);
    // The first button of the kind, or null: other ways of pressing a
    // button (the desktop's media controls) go through its own OnClick.
    OstButton* FindButton(int nKind) const;

    // The pressed and the hovered button's index, -1 for none.
    int GetPressed() const { return m_nPressed; }
    int GetHover() const { return m_nHover; }

private:
    // Index of the first button containing pt, or m_nButtons for none.
    UINT ButtonAt(Gdiplus::Point pt) const;
    // The tab-shaped highlight: rounded top corners from one pixel above the
    // button down to four pixels above its bottom.
    void BuildHighlight(Gdiplus::GraphicsPath* pPath, const Gdiplus::Rect& rc);
    int EndHover(HWND hWnd, int nWiden);

    // Released one by one, in the order the destructor gives.
    std::unique_ptr<OstButton> m_pButtons[kMaxButtons];
    UINT m_nButtons;
    int m_nPressed;
    int m_nHover;
    Gdiplus::Region* m_pRegion;
    std::unique_ptr<Gdiplus::SolidBrush> m_pPressedBrush;
    std::unique_ptr<Gdiplus::SolidBrush> m_pHoverBrush;
    Gdiplus::GraphicsPath m_pathPressed;
    Gdiplus::GraphicsPath m_pathHover;
};
