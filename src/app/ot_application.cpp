// The entry point, start-up and shutdown order, the progress timer and the
// message loop.
#include "app/ot_application.h"

#include "app/ot_control.h"
#include "app/ot_mpris.h"
#include "app/ot_overlay.h"
#include "app/ot_tray.h"
#include "common/ot_layout.h"
#include "common/ot_messages.h"
#include "platform/win32/kernel.h"
#include "playback/ot_playengine.h"
#include "skin/ot_skin.h"

namespace {

constexpr int kStartupFailed = -255;

void ShowStartupError(LPCWSTR text) { MessageBoxW(NULL, text, L"Error", MB_ICONERROR); }

}  // namespace

OstApplication::OstApplication() : m_hProgressTimer(NULL) {}

// The media controls go first: they ask the window and the engine.
OstApplication::~OstApplication() {
    if (m_hProgressTimer) {
        DeleteTimerQueueTimer(NULL, m_hProgressTimer, NULL);
        m_hProgressTimer = NULL;
    }
    m_pMpris.reset();
    m_pTray.reset();
    m_pMainWindow.reset();
    m_pSkin.reset();
    m_pOverlay.reset();
    m_pPlayEngine.reset();
}

bool OstApplication::Initialize() {
    m_pPlayEngine = std::make_unique<OstPlayEngine>();
    switch (m_pPlayEngine->Init()) {
    case 2: ShowStartupError(L"This program requires higher version of FMOD Ex!"); return false;
    case 1:
    case 3:
    case 4: ShowStartupError(L"Failed to initialize play engine."); return false;
    default: break;
    }

    m_pOverlay = std::make_unique<OstOverlay>();
    if (m_pOverlay->Startup() != 0) {
        ShowStartupError(L"This program requires higher version of GDI+!");
        return false;
    }

    m_pSkin = std::make_unique<OstSkin>();

    m_pMainWindow = std::make_unique<OstMainWindow>(this);
    if (!m_pMainWindow->Create()) {
        ShowStartupError(L"Ostrel failed to load!");
        return false;
    }

    m_pTray = std::make_unique<OstTray>(m_pMainWindow->GetHwnd());
    m_pMpris = std::make_unique<OstMpris>(this);

    CreateTimerQueueTimer(&m_hProgressTimer, NULL, ProgressTimerProc, m_pMainWindow->GetHwnd(), 100, 273,
                          WT_EXECUTEDEFAULT);
    return true;
}

int OstApplication::Run() {
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (m_pMpris) m_pMpris->OnMessage(msg);
    }
    return static_cast<int>(msg.wParam);
}

void OstApplication::Quit() { PostQuitMessage(0); }

OstMenuManager* OstApplication::GetMenuManager() const {
    return m_pMainWindow ? m_pMainWindow->GetMenuManager() : NULL;
}

void OstApplication::ShowHint(HWND hWnd, const OstHint& hint) {
    m_pOverlay->SetHint(hWnd, hint);
    m_pOverlay->ShowHint();
}

void OstApplication::HideHint(int nOwner) {
    if (m_pOverlay->GetHintOwner() == nOwner) m_pOverlay->HideHint();
}

// Runs on a timer-pool thread: it may only touch the window through calls
// that are safe from any thread.
void OstApplication::ProgressTimerProc(PVOID parameter, BOOL) {
    HWND window = static_cast<HWND>(parameter);
    RECT progressStrip;
    SetRect(&progressStrip, OstLayout::kStripLeft, OstLayout::kProgressTop, OstLayout::kStripRight,
            OstLayout::kStripBottom);
    InvalidateRect(window, &progressStrip, TRUE);
    // Lets the audio library run its end-of-track callbacks on the UI thread.
    PostMessageW(window, WM_ENGINE_UPDATE, 0, 0);
}

int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    auto application = std::make_unique<OstApplication>();
    if (!application->Initialize()) return kStartupFailed;
    return application->Run();
}
