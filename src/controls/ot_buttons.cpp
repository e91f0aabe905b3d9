#include "controls/ot_buttons.h"

#include <new>

#include "common/ot_layout.h"
#include "controls/ot_host.h"
#include "menus/ot_menu.h"
#include "platform/win32/gdi.h"
#include "playback/ot_playengine.h"
#include "skin/ot_skin.h"

namespace {

constexpr int kHintPlay = 1;
constexpr int kHintStop = 2;
constexpr int kFadeMs = 200;

// The hint's tip sits over the button's horizontal centre.
void ShowHint(HWND hWnd, int nOwner, const Gdiplus::Rect& rc) {
    OstHost* host = OstHost::Of(hWnd);
    if (!host) return;
    OstHint hint;
    hint.nOwner = nOwner;
    hint.nCenterX = (rc.X + (rc.X + rc.Width)) >> 1;
    host->ShowHint(hWnd, hint);
}

void HideHint(HWND hWnd, int nOwner) {
    // The bubble may already belong to the other button.
    if (OstHost* host = OstHost::Of(hWnd)) host->HideHint(nOwner);
}

}  // namespace

OstCloseButton::OstCloseButton() : OstButton(kClose, LayoutRect(OstLayout::kCloseButton), true) {}

int OstCloseButton::OnClick(HWND hWnd) {
    DestroyWindow(hWnd);
    return 0;
}

OstMinimizeButton::OstMinimizeButton() : OstButton(kMinimize, LayoutRect(OstLayout::kMinimizeButton), true) {}

int OstMinimizeButton::OnClick(HWND hWnd) {
    AnimateWindow(hWnd, kFadeMs, AW_HIDE | AW_BLEND);
    return 0;
}

// The play menu lives and dies with the button; nothing opens it.
OstPlayButton::OstPlayButton(HWND hWnd)
    : OstButton(kPlay, LayoutRect(OstLayout::kPlayButton), false),
      m_pMenu(new (std::nothrow) OstPlayMenu(hWnd, OstHostSkin(hWnd))) {}

OstPlayButton::~OstPlayButton() = default;

int OstPlayButton::OnClick(HWND hWnd) {
    RECT rc = ButtonRect(m_rcButton);
    if (OstHost* host = OstHost::Of(hWnd)) {
        OstPlayEngine* engine = host->GetPlayEngine();
        // A stopped engine ignores Pause: only a drop starts playback.
        if (engine->GetState() == kEnginePaused)
            engine->Play();
        else
            engine->Pause();
    }
    InvalidateRect(hWnd, &rc, TRUE);
    return 0;
}

int OstPlayButton::OnMouseEnter(HWND hWnd) {
    ShowHint(hWnd, kHintPlay, m_rcButton);
    return 0;
}

int OstPlayButton::OnMouseLeave(HWND hWnd) {
    HideHint(hWnd, kHintPlay);
    return 0;
}

int OstPlayButton::Paint(HWND hWnd, HDC hdc, OstSkin* pSkin) {
    OstHost* host = OstHost::Of(hWnd);
    if (!host) return 0;
    switch (host->GetPlayEngine()->GetState()) {
    case kEngineStopped:
    case kEnginePaused: BlendGlyph(hWnd, hdc, pSkin->m_bmPlay); break;
    case kEnginePlaying: BlendGlyph(hWnd, hdc, pSkin->m_bmPause); break;
    }
    return 0;
}

OstStopButton::OstStopButton() : OstButton(kStop, LayoutRect(OstLayout::kStopButton), true) {}

int OstStopButton::OnClick(HWND hWnd) {
    // The play/pause button shows the play glyph again. The container
    // repaints this button itself.
    RECT rc = ButtonRect(LayoutRect(OstLayout::kPlayButton));
    if (OstHost* host = OstHost::Of(hWnd)) host->GetPlayEngine()->Stop();
    InvalidateRect(hWnd, &rc, TRUE);
    return 0;
}

int OstStopButton::OnMouseEnter(HWND hWnd) {
    ShowHint(hWnd, kHintStop, m_rcButton);
    return 0;
}

int OstStopButton::OnMouseLeave(HWND hWnd) {
    HideHint(hWnd, kHintStop);
    return 0;
}

OstPrevButton::OstPrevButton() : OstButton(kPrev, LayoutRect(OstLayout::kPrevButton), true) {}

OstNextButton::OstNextButton() : OstButton(kNext, LayoutRect(OstLayout::kNextButton), true) {}
