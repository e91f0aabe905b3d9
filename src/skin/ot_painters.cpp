// The glyph, bubble and menu-frame painters of OstSkin. Every shape but the
// two small window glyphs is drawn on an OstGlowLayer: glow, blur, sharp
// fill, then copied onto the target.
#include "common/ot_layout.h"
#include "platform/win32/gdiplus.h"
#include "skin/ot_glowlayer.h"
#include "skin/ot_skin.h"

using namespace Gdiplus;

namespace {

using OstLayout::kBubbleHeight;
using OstLayout::kBubbleTipX;
using OstLayout::kBubbleWidth;
using OstLayout::kButtonHeight;
using OstLayout::kButtonWidth;
using OstLayout::kMenuWidth;

auto FillWith(GraphicsPath* pPath) {
    return [pPath](Graphics& graphics, Brush* pBrush) { graphics.FillPath(pBrush, pPath); };
}

}  // namespace

void OstSkin::PaintStop(Graphics* g, Brush* pGlow, Brush* pGlyph) {
    OstGlowLayer layer(kButtonWidth, kButtonHeight);
    layer.Paint(*m_pKernel, pGlow, pGlyph,
                [](Graphics& graphics, Brush* pBrush) { graphics.FillRectangle(pBrush, 21, 7, 13, 13); });
    g->DrawImage(layer.GetBitmap(), 0, 0);
}

void OstSkin::PaintPrev(Graphics* g, Brush* pGlow, Brush* pGlyph) {
    GraphicsPath path(FillModeAlternate);
    OstGlowLayer layer(kButtonWidth, kButtonHeight);
    path.Reset();
    // Two left-pointing chevrons, 5 pixels thick along x, 2.5 apart.
    const PointF first[] = {{22.5f, 6.0f},  {17.0f, 13.5f}, {22.5f, 21.0f},
                            {27.5f, 21.0f}, {22.0f, 13.5f}, {27.5f, 6.0f}};
    const PointF second[] = {{30.0f, 6.0f},  {24.5f, 13.5f}, {30.0f, 21.0f},
                             {35.0f, 21.0f}, {29.5f, 13.5f}, {35.0f, 6.0f}};
    path.AddPolygon(first, 6);
    path.AddPolygon(second, 6);
    layer.Paint(*m_pKernel, pGlow, pGlyph, FillWith(&path));
    g->DrawImage(layer.GetBitmap(), 0, 0);
}

void OstSkin::PaintVolume(Graphics* g, Brush* pGlow, Brush* pGlyph) {
    GraphicsPath path(FillModeAlternate);
    OstGlowLayer layer(kButtonWidth, kButtonHeight);
    path.Reset();
    const PointF speaker[] = {{20.0f, 9.75f}, {20.0f, 17.5f}, {23.0f, 17.5f},
                              {30.0f, 22.0f}, {30.0f, 5.0f},  {23.0f, 9.75f}};
    path.AddPolygon(speaker, 6);
    path.CloseAllFigures();
    path.AddRectangle(RectF(31.0f, 9.75f, 1.0f, 7.5f));  // inner sound bar
    path.AddRectangle(RectF(33.0f, 8.5f, 1.0f, 10.0f));  // outer sound bar
    layer.Paint(*m_pKernel, pGlow, pGlyph, FillWith(&path));
    g->DrawImage(layer.GetBitmap(), 0, 0);
}

void OstSkin::PaintPlay(Graphics* g, Brush* pGlow, Brush* pGlyph) {
    GraphicsPath path(FillModeAlternate);
    OstGlowLayer layer(kButtonWidth, kButtonHeight);
    path.Reset();
    // The tip sits at y 13, half a pixel above the middle of the base.
    path.AddLine(22, 6, 22, 21);
    path.AddLine(22, 21, 34, 13);
    path.CloseAllFigures();
    layer.Paint(*m_pKernel, pGlow, pGlyph, FillWith(&path));
    g->DrawImage(layer.GetBitmap(), 0, 0);
}

void OstSkin::PaintPause(Graphics* g, Brush* pGlow, Brush* pGlyph) {
    GraphicsPath path(FillModeAlternate);
    OstGlowLayer layer(kButtonWidth, kButtonHeight);
    path.Reset();
    path.AddRectangle(Rect(21, 6, 5, 15));
    path.AddRectangle(Rect(29, 6, 5, 15));
    path.CloseAllFigures();
    layer.Paint(*m_pKernel, pGlow, pGlyph, FillWith(&path));
    g->DrawImage(layer.GetBitmap(), 0, 0);
}

void OstSkin::PaintBubble(Graphics* g, Brush* pGlow, Brush* pGlass) {
    GraphicsPath path(FillModeAlternate);
    OstGlowLayer layer(kBubbleWidth, kBubbleHeight);
    // A rounded box from (5, 5) to (230, 65) whose tip points down at x 117,
    // where the main painting puts the centre of the hinted button.
    const float tip = kBubbleTipX;
    path.AddArc(5.0f, 5.0f, 5.0f, 5.0f, 180.0f, 90.0f);
    path.AddArc(225.0f, 5.0f, 5.0f, 5.0f, 270.0f, 90.0f);
    path.AddArc(225.0f, 60.0f, 5.0f, 5.0f, 0.0f, 90.0f);
    path.AddLine(120.09023f, 65.0f, tip, 70.0f);
    path.AddLine(tip, 70.0f, 113.90977f, 65.0f);
    path.AddArc(5.0f, 60.0f, 5.0f, 5.0f, 90.0f, 90.0f);
    path.CloseAllFigures();
    layer.Paint(*m_pKernel, pGlow, pGlass, FillWith(&path));
    g->DrawImage(layer.GetBitmap(), 0, 0);
}

void OstSkin::PaintMenuFrame(Graphics* gMiddle, Graphics* gBottom, Graphics* gTop, Brush* pGlow, Brush* pGlass) {
    GraphicsPath path(FillModeAlternate);
    OstGlowLayer layer(kMenuWidth, 25);
    path.Reset();
    // A rounded box from (10, 5) to (170, 18) with a notch rising to (37, 1).
    path.AddArc(10, 5, 5, 5, 180.0f, 90.0f);
    path.AddLine(15.0f, 5.0f, 34.5f, 5.0f);
    path.AddLine(34.5f, 5.0f, 37.0f, 1.0f);
    path.AddLine(37.0f, 1.0f, 39.5f, 5.0f);
    path.AddLine(39.5f, 5.0f, 170.0f, 5.0f);
    path.AddArc(165, 5, 5, 5, 270.0f, 90.0f);
    path.AddArc(165, 13, 5, 5, 0.0f, 90.0f);
    path.AddArc(10, 13, 5, 5, 90.0f, 90.0f);
    path.CloseAllFigures();
    layer.Paint(*m_pKernel, pGlow, pGlass, FillWith(&path));

    // Rows 10-14 lie between the rounded corners, so the middle slice can be
    // tiled downward to any menu height.
    Bitmap* pFrame = layer.GetBitmap();
    gMiddle->DrawImage(pFrame, 0, 0, 0, 10, kMenuWidth, 5, UnitPixel);
    gBottom->DrawImage(pFrame, 0, 0, 0, 15, kMenuWidth, 10, UnitPixel);
    gTop->DrawImage(pFrame, 0, 0, 0, 0, kMenuWidth, 10, UnitPixel);
}

void OstSkin::PaintClose(Graphics* g, Brush* pGlyph) {
    g->SetSmoothingMode(SmoothingModeAntiAlias);
    Pen pen(pGlyph, 3.0f);
    // The second stroke ends one pixel short: the glyph is not symmetric.
    g->DrawLine(&pen, 0, 0, 7, 7);
    g->DrawLine(&pen, 0, 6, 6, 0);
}

void OstSkin::PaintMinimize(Graphics* g, Brush* pGlyph) {
    g->SetSmoothingMode(SmoothingModeAntiAlias);
    Pen pen(pGlyph, 3.0f);
    g->DrawLine(&pen, 0, 5, 7, 5);
}
