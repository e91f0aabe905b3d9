#include "controls/ot_buttons.h"

#include <new>

#include "app/ot_application.h"
#include "app/ot_overlay.h"
#include "menus/ot_menu.h"
#include "platform/win32/gdi.h"
#include "playback/ot_playengine.h"
#include "skin/ot_skin.h"

namespace {

constexpr int kHintPlay = 1;
constexpr int kHintStop = 2;
constexpr int kStateStopped = 0;
constexpr int kStatePlaying = 1;
constexpr int kStatePaused = 2;
constexpr int kFadeMs = 200;

// Null for a window that carries no application (nothing to act on then).
OstApplication* Application(HWND hWnd) { return reinterpret_cast<OstApplication*>(GetWindowLongW(hWnd, GWL_USERDATA)); }

// The hint's tip sits over the button's horizontal centre.
void ShowHint(HWND hWnd, int nOwner, const Gdiplus::Rect& rc) {
    OstApplication* app = Application(hWnd);
    if (!app) return;
    OstHint hint;
    hint.nOwner = nOwner;
    hint.nCenterX = (rc.X + (rc.X + rc.Width)) >> 1;
    app->GetOverlay()->SetHint(hWnd, hint);
    app->GetOverlay()->ShowHint();
}

void HideHint(HWND hWnd, int nOwner) {
    OstApplication* app = Application(hWnd);
    if (!app) return;
    // The bubble may already belong to the other button.
    if (app->GetOverlay()->GetHintOwner() == nOwner) app->GetOverlay()->HideHint();
}

}  // namespace

OstCloseButton::OstCloseButton() : OstButton(kClose, Gdiplus::Rect(505, 105, 7, 7), true) {}

int OstCloseButton::OnClick(HWND hWnd) {
    DestroyWindow(hWnd);
    return 0;
}

OstMinimizeButton::OstMinimizeButton() : OstButton(kMinimize, Gdiplus::Rect(493, 105, 7, 7), true) {}

int OstMinimizeButton::OnClick(HWND hWnd) {
    AnimateWindow(hWnd, kFadeMs, AW_HIDE | AW_BLEND);
    return 0;
}

// The play menu lives and dies with the button; nothing opens it.
OstPlayButton::OstPlayButton(HWND hWnd)
    : OstButton(kPlay, Gdiplus::Rect(240, 100, 55, 30), false), m_pMenu(new (std::nothrow) OstPlayMenu(hWnd)) {}

OstPlayButton::~OstPlayButton() {
    if (m_pMenu) {
        delete m_pMenu;
        m_pMenu = NULL;
    }
}

int OstPlayButton::OnClick(HWND hWnd) {
    RECT rc = ButtonRect(m_rcButton);
    OstApplication* app = Application(hWnd);
    if (app) {
        OstPlayEngine* engine = app->GetPlayEngine();
        // A stopped engine ignores Pause: only a drop starts playback.
        if (engine->GetState() == kStatePaused)
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
    OstApplication* app = Application(hWnd);
    if (!app) return 0;
    switch (app->GetPlayEngine()->GetState()) {
    case kStateStopped:
    case kStatePaused: BlendGlyph(hWnd, hdc, pSkin->m_bmPlay); break;
    case kStatePlaying: BlendGlyph(hWnd, hdc, pSkin->m_bmPause); break;
    default: break;
    }
    return 0;
}

OstStopButton::OstStopButton() : OstButton(kStop, Gdiplus::Rect(185, 100, 55, 30), true) {}

int OstStopButton::OnClick(HWND hWnd) {
    // The play/pause button's rectangle, right of this one: it shows the
    // play glyph again. The container repaints this button itself.
    RECT rc;
    SetRect(&rc, m_rcButton.X + 55, m_rcButton.Y, m_rcButton.X + m_rcButton.Width + 55,
            m_rcButton.Y + m_rcButton.Height);
    OstApplication* app = Application(hWnd);
    if (app) app->GetPlayEngine()->Stop();
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

OstPrevButton::OstPrevButton() : OstButton(kPrev, Gdiplus::Rect(130, 100, 55, 30), true) {}

OstNextButton::OstNextButton() : OstButton(kNext, Gdiplus::Rect(295, 100, 55, 30), true) {}
