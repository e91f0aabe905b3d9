#include "skin/ot_skin.h"

#include <new>

#include "common/ot_layout.h"
#include "platform/win32/gdi.h"
#include "platform/win32/user.h"
#include "skin/ot_glowlayer.h"

using namespace Gdiplus;

namespace {

constexpr ARGB kGlyphColor = 0xFF99CCFF;
constexpr ARGB kGlassColor = 0xD2FFFFFF;
constexpr ARGB kTransparentWhite = 0x00FFFFFF;

// The panel image holds the strip with room for its glow around it; the
// bar and the track are in the panel's own coordinates.
constexpr OstLayout::Box kPanel = OstLayout::kPanel;
constexpr int kBarLeft = OstLayout::kStripLeft - kPanel.x;
constexpr int kBarTop = OstLayout::kStripTop - kPanel.y;
constexpr int kBarRight = OstLayout::kStripRight - kPanel.x;
constexpr int kBarBottom = OstLayout::kStripBottom - kPanel.y;
constexpr int kTrackTop = OstLayout::kProgressTop - kPanel.y;
constexpr int kCornerSize = 5;

using OstLayout::kBubbleHeight;
using OstLayout::kBubbleWidth;
using OstLayout::kButtonHeight;
using OstLayout::kButtonWidth;
using OstLayout::kGlyphSize;
using OstLayout::kMenuWidth;

void Release(HBITMAP& hbm) {
    if (hbm) DeleteObject(hbm);
    hbm = NULL;
}

}  // namespace

OstSkin::OstSkin()
    : m_pKernel(std::make_unique<OstBlurKernel>()),
      m_bmPanel(NULL),
      m_bmMinimize(NULL),
      m_bmClose(NULL),
      m_bmPause(NULL),
      m_bmPlay(NULL),
      m_bmStop(NULL),
      m_bmPrev(NULL),
      m_bmNext(NULL),
      m_bmVolume(NULL),
      m_bmBubble(NULL),
      m_bmMenuMiddle(NULL),
      m_bmMenuBottom(NULL),
      m_bmMenuTop(NULL) {}

OstSkin::~OstSkin() { ReleaseAll(); }

void OstSkin::Build(HWND hwnd) {
    SolidBrush glow{Color(OstLayout::kGlowColor)};
    SolidBrush glyph{Color(kGlyphColor)};
    SolidBrush glass{Color(kGlassColor)};

    HDC hdcWindow = GetDC(hwnd);
    HDC hdcMem = CreateCompatibleDC(hdcWindow);

    // Each image gets its own Graphics on the shared memory DC; a Graphics
    // that cannot be made leaves its image black.
    auto paint = [&](HBITMAP& hbm, int cx, int cy, auto painter) {
        hbm = CreateCompatibleBitmap(hdcWindow, cx, cy);
        SelectObject(hdcMem, hbm);
        Graphics* g = new (std::nothrow) Graphics(hdcMem);
        if (!g) return;
        painter(g);
        delete g;
    };

    paint(m_bmPanel, kPanel.width, kPanel.height, [&](Graphics* g) { PaintPanel(g, &glow, &glass, &glyph); });
    paint(m_bmStop, kButtonWidth, kButtonHeight, [&](Graphics* g) { PaintStop(g, &glow, &glyph); });
    paint(m_bmPrev, kButtonWidth, kButtonHeight, [&](Graphics* g) { PaintPrev(g, &glow, &glyph); });

    // The next glyph is the previous one mirrored: a negative source width
    // from the right edge copies every row reversed.
    m_bmNext = CreateCompatibleBitmap(hdcWindow, kButtonWidth, kButtonHeight);
    SelectObject(hdcMem, m_bmNext);
    HDC hdcPrev = CreateCompatibleDC(hdcWindow);
    SelectObject(hdcPrev, m_bmPrev);
    StretchBlt(hdcMem, 0, 0, kButtonWidth, kButtonHeight, hdcPrev, kButtonWidth, 0, -kButtonWidth, kButtonHeight,
               SRCCOPY);
    DeleteDC(hdcPrev);

    paint(m_bmVolume, kButtonWidth, kButtonHeight, [&](Graphics* g) { PaintVolume(g, &glow, &glyph); });
    paint(m_bmClose, kGlyphSize, kGlyphSize, [&](Graphics* g) { PaintClose(g, &glyph); });
    paint(m_bmMinimize, kGlyphSize, kGlyphSize, [&](Graphics* g) { PaintMinimize(g, &glyph); });
    paint(m_bmPlay, kButtonWidth, kButtonHeight, [&](Graphics* g) { PaintPlay(g, &glow, &glyph); });
    paint(m_bmPause, kButtonWidth, kButtonHeight, [&](Graphics* g) { PaintPause(g, &glow, &glyph); });
    paint(m_bmBubble, kBubbleWidth, kBubbleHeight, [&](Graphics* g) { PaintBubble(g, &glow, &glass); });

    // The three menu slices come from one painting, so each needs its own DC.
    m_bmMenuMiddle = CreateCompatibleBitmap(hdcWindow, kMenuWidth, 5);
    m_bmMenuBottom = CreateCompatibleBitmap(hdcWindow, kMenuWidth, 10);
    m_bmMenuTop = CreateCompatibleBitmap(hdcWindow, kMenuWidth, 10);
    HDC hdcBottom = CreateCompatibleDC(hdcWindow);
    HDC hdcTop = CreateCompatibleDC(hdcWindow);
    SelectObject(hdcMem, m_bmMenuMiddle);
    SelectObject(hdcBottom, m_bmMenuBottom);
    SelectObject(hdcTop, m_bmMenuTop);
    Graphics* gMiddle = new (std::nothrow) Graphics(hdcMem);
    Graphics* gBottom = new (std::nothrow) Graphics(hdcBottom);
    Graphics* gTop = new (std::nothrow) Graphics(hdcTop);
    if (gMiddle && gBottom && gTop) PaintMenuFrame(gMiddle, gBottom, gTop, &glow, &glass);
    delete gMiddle;
    delete gBottom;
    delete gTop;

    DeleteDC(hdcBottom);
    DeleteDC(hdcTop);
    DeleteDC(hdcMem);
    ReleaseDC(hwnd, hdcWindow);
}

void OstSkin::ReleaseStaticImages() {
    Release(m_bmPanel);
    Release(m_bmStop);
    Release(m_bmPrev);
    Release(m_bmNext);
    Release(m_bmVolume);
    Release(m_bmClose);
    Release(m_bmMinimize);
}

void OstSkin::ReleaseAll() {
    ReleaseStaticImages();
    Release(m_bmPlay);
    Release(m_bmPause);
    Release(m_bmBubble);
    Release(m_bmMenuMiddle);
    Release(m_bmMenuBottom);
    Release(m_bmMenuTop);
}

void OstSkin::PaintPanel(Graphics* g, Brush* pGlow, Brush* pGlass, Brush* pGlyph) {
    Bitmap* pBitmap = new Bitmap(kPanel.width, kPanel.height, PixelFormat32bppARGB);
    Graphics* pGraphics = new Graphics(pBitmap);
    // Transparent white, not black: the halo blends toward grey and the
    // glass keeps a white base.
    pGraphics->Clear(Color(kTransparentWhite));
    pGraphics->SetSmoothingMode(SmoothingModeAntiAlias);

    // A 500 x 30 bar with rounded top corners and square bottom ones.
    GraphicsPath* pPath = new GraphicsPath(FillModeAlternate);
    pPath->AddArc(kBarLeft, kBarTop, kCornerSize, kCornerSize, 180.0f, 90.0f);
    pPath->AddArc(kBarRight - kCornerSize, kBarTop, kCornerSize, kCornerSize, 270.0f, 90.0f);
    pPath->AddLine(kBarRight, kBarBottom, kBarLeft, kBarBottom);
    pPath->CloseAllFigures();

    pGraphics->SetClip(pPath, CombineModeReplace);
    pGraphics->FillPath(pGlow, pPath);
    // Locked bits ignore the clip, so the glow spreads outside the bar; the
    // clipped Clear then takes it back from under the glass.
    OstBlurBitmap(*m_pKernel, pBitmap, kPanel.width, kPanel.height);
    pGraphics->Clear(Color(kTransparentWhite));
    pGraphics->FillPath(pGlass, pPath);
    pGraphics->FillRectangle(pGlyph, kBarLeft, kTrackTop, OstLayout::kBarWidth,
                             OstLayout::kBarHeight);  // the progress track
    delete pGraphics;

    g->DrawImage(pBitmap, 0, 0, kPanel.width, kPanel.height);
    delete pBitmap;
    delete pPath;
}
