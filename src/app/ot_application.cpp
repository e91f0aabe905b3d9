// The entry point, start-up and shutdown order, the progress timer and the
// message loop.
#include "app/ot_application.h"

#include "app/ot_control.h"
#include "app/ot_mpris.h"
#include "app/ot_overlay.h"
#include "common/ot_layout.h"
#include "app/ot_tray.h"
#include "common/ot_messages.h"
#include "platform/win32/kernel.h"
#include "playback/ot_playengine.h"
#include "skin/ot_skin.h"

namespace {

constexpr int kStartupFailed = -255;

void ShowStartupError(LPCWSTR text) { MessageBoxW(NULL, text, L"Error", MB_ICONERROR); }

}  // namespace

OstApplication::OstApplication()
    : m_hProgressTimer(NULL),
      m_pTray(NULL),
      m_pOverlay(NULL),
      m_pMainWindow(NULL),
      m_pSkin(NULL),
      m_pPlayEngine(NULL),
      m_pMpris(NULL) {}

OstApplication::~OstApplication() {
    if (m_hProgressTimer) {
        DeleteTimerQueueTimer(NULL, m_hProgressTimer, NULL);
        m_hProgressTimer = NULL;
    }
    if (m_pMpris) {
        delete m_pMpris;
        m_pMpris = NULL;
    }
    if (m_pTray) {
        delete m_pTray;
        m_pTray = NULL;
    }
    if (m_pMainWindow) {
        delete m_pMainWindow;
        m_pMainWindow = NULL;
    }
    if (m_pSkin) {
        delete m_pSkin;
        m_pSkin = NULL;
    }
    if (m_pOverlay) {
        delete m_pOverlay;
        m_pOverlay = NULL;
    }
    if (m_pPlayEngine) {
        delete m_pPlayEngine;
        m_pPlayEngine = NULL;
    }
}

bool OstApplication::Initialize() {
    m_pPlayEngine = new OstPlayEngine();
    switch (m_pPlayEngine->Init()) {
    case 2: ShowStartupError(L"This program requires higher version of FMOD Ex!"); return false;
    case 1:
    case 3:
    case 4: ShowStartupError(L"Failed to initialize play engine."); return false;
    default: break;
    }

    m_pOverlay = new OstOverlay();
    if (m_pOverlay->Startup() != 0) {
        ShowStartupError(L"This program requires higher version of GDI+!");
        return false;
    }

    m_pSkin = new OstSkin();

    m_pMainWindow = new OstMainWindow(this);
    if (!m_pMainWindow->Create()) {
        ShowStartupError(L"Ostrel failed to load!");
        return false;
    }

    m_pTray = new OstTray(m_pMainWindow->GetHwnd());
    m_pMpris = new OstMpris(this);

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

// Runs on a timer-pool thread: it may only touch the window through calls
// that are safe from any thread.
void OstApplication::ProgressTimerProc(PVOID parameter, BOOL) {
    HWND window = static_cast<HWND>(parameter);
    RECT progressStrip;
    SetRect(&progressStrip, OstStrip::kLeft, OstStrip::kProgressTop, OstStrip::kRight, OstStrip::kBottom);
    InvalidateRect(window, &progressStrip, TRUE);
    // Lets the audio library run its end-of-track callbacks on the UI thread.
    PostMessageW(window, WM_ENGINE_UPDATE, 0, 0);
}

int wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    OstApplication* application = new OstApplication();
    if (!application->Initialize()) {
        delete application;
        return kStartupFailed;
    }
    int exitCode = application->Run();
    delete application;
    return exitCode;
}
