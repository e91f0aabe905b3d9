// The player as the desktop's media controls see it: the MPRIS service's
// actions go the ways of the play/pause and stop buttons, the tray's click
// and the close button, and what it shows comes from the play engine and
// the track-information record. UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bus/mpris.h"
#include "platform/win32/user.h"

class OstApplication;

class OstMpris : public bus::MediaPlayer {
public:
    // Exports the service when there is a session bus; otherwise it does
    // nothing, quietly.
    explicit OstMpris(OstApplication* pApplication);

    // The message loop calls this after each message it dispatched: a drop
    // loads a new track, and any message may have changed the engine's
    // state; what changed is announced once.
    void OnMessage(const MSG& msg);

    bool IsActive() const { return m_service.active(); }

    bus::PlaybackStatus status() override;
    bool loaded() override;
    bus::TrackMetadata metadata() override;
    std::int64_t positionUs() override;
    double volume() override;
    void setVolume(double volume) override;
    void play() override;
    void pause() override;
    void playPause() override;
    void stop() override;
    void raise() override;
    void quit() override;

private:
    HWND Window() const;
    void ClickButton(int nKind);
    void RepaintPlayButton();

    OstApplication* m_pApplication;
    unsigned m_nTrack;
    bus::MprisService m_service;  // last: it asks the members above at once
};
