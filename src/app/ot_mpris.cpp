// The desktop's media controls, bound to the engine, the buttons and the
// main window.
#include "app/ot_mpris.h"

#include <cwchar>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "app/ot_fileuri.h"
#include "controls/ot_button.h"
#include "controls/ot_widget.h"
#include "platform/win32/text.h"
#include "playback/ot_playengine.h"

namespace {

// The text of a tag field, or empty while it holds a value the record is
// given before any tag is read (at start-up, or for a file without the frame).
std::string TagText(const WCHAR* pwszValue, const WCHAR* pwszReset, const WCHAR* pwszStartup) {
    if (pwszValue[0] == L'\0' || std::wcscmp(pwszValue, pwszReset) == 0 || std::wcscmp(pwszValue, pwszStartup) == 0)
        return std::string();
    char szText[OstMusicTag::kTextChars * 4];
    if (WideCharToMultiByte(CP_UTF8, 0, pwszValue, -1, szText, sizeof(szText), NULL, NULL) == 0) return std::string();
    return std::string(szText);
}

}  // namespace

OstMpris::OstMpris(OstApplication* pApplication)
    : m_pApplication(pApplication), m_nTrack(0), m_service(*this, "ostrel") {}

void OstMpris::OnMessage(const MSG& msg) {
    if (msg.message == WM_DROPFILES) ++m_nTrack;
    m_service.refresh();
}

HWND OstMpris::Window() const { return m_pApplication->GetMainWindow()->GetHwnd(); }

bus::PlaybackStatus OstMpris::status() {
    switch (m_pApplication->GetPlayEngine()->GetState()) {
    case kEngineStopped: return bus::PlaybackStatus::Stopped;
    case kEnginePlaying: return bus::PlaybackStatus::Playing;
    default: return bus::PlaybackStatus::Paused;
    }
}

bool OstMpris::loaded() { return m_pApplication->GetPlayEngine()->IsLoaded(); }

bus::TrackMetadata OstMpris::metadata() {
    bus::TrackMetadata track;
    OstPlayEngine* engine = m_pApplication->GetPlayEngine();
    if (!engine->IsLoaded()) return track;
    const OstMusicTag& tag = engine->m_tag;
    track.trackId = "/org/ostrel/track/" + std::to_string(m_nTrack);
    track.lengthUs = static_cast<std::int64_t>(engine->GetLengthUs());
    // From the name's own bytes, as opened: the record's wide copy is cut to
    // 259 characters, and its way back to UTF-8 would replace the bytes of a
    // name that is not UTF-8.
    track.url = FileUri(engine->GetFileName());
    track.title = TagText(tag.m_szTitle, OstMusicTag::kReset.pwszTitle, OstMusicTag::kStartup.pwszTitle);
    track.artist = TagText(tag.m_szArtist, OstMusicTag::kReset.pwszArtist, OstMusicTag::kStartup.pwszArtist);
    track.album = TagText(tag.m_szAlbum, OstMusicTag::kReset.pwszAlbum, OstMusicTag::kStartup.pwszAlbum);
    return track;
}

std::int64_t OstMpris::positionUs() {
    return static_cast<std::int64_t>(m_pApplication->GetPlayEngine()->GetPositionUs());
}

double OstMpris::volume() { return m_pApplication->GetPlayEngine()->GetVolume(); }

void OstMpris::setVolume(double volume) { m_pApplication->GetPlayEngine()->SetVolume(static_cast<float>(volume)); }

void OstMpris::play() {
    m_pApplication->GetPlayEngine()->Play();
    RepaintPlayButton();
}

void OstMpris::pause() {
    m_pApplication->GetPlayEngine()->Pause();
    RepaintPlayButton();
}

void OstMpris::playPause() { ClickButton(OstButton::kPlay); }

void OstMpris::stop() { ClickButton(OstButton::kStop); }

// As the tray icon's click brings the strip back, and out of the icon state
// where the window manager put it.
void OstMpris::raise() {
    HWND window = Window();
    if (!IsWindowVisible(window)) {
        ShowWindow(window, SW_SHOW);
        InvalidateRect(window, NULL, TRUE);
    }
    SetForegroundWindow(window);
}

// As the close button.
void OstMpris::quit() { DestroyWindow(Window()); }

void OstMpris::ClickButton(int nKind) {
    OstWidget* widget = m_pApplication->GetMainWindow()->GetWidget();
    OstButton* button = widget ? widget->FindButton(nKind) : NULL;
    if (button) button->OnClick(Window());
}

void OstMpris::RepaintPlayButton() {
    OstWidget* widget = m_pApplication->GetMainWindow()->GetWidget();
    OstButton* button = widget ? widget->FindButton(OstButton::kPlay) : NULL;
    if (!button) return;
    RECT rc = ButtonRect(button->GetRect());
    InvalidateRect(Window(), &rc, TRUE);
}
