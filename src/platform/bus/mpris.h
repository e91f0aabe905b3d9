// Media controls on the desktop bus: the player as an MPRIS 2.2 service
// (org.mpris.MediaPlayer2 and its Player interface at /org/mpris/MediaPlayer2),
// for the desktop's media widgets, media keys and playerctl. The service only
// carries calls and answers: what a call does and what the player's state is
// comes from the MediaPlayer it is given. UI thread only; calls arrive while
// the message loop serves the session bus.
#pragma once

#include <cstdint>
#include <string>

struct sd_bus;
struct sd_bus_slot;

namespace bus {

enum class PlaybackStatus { Stopped, Playing, Paused };

// What Metadata shows of the current track. Empty strings are left out.
struct TrackMetadata {
    std::string trackId;  // an object path; empty: no track, empty Metadata
    std::int64_t lengthUs = 0;
    std::string url;
    std::string title;
    std::string artist;
    std::string album;

    bool operator==(const TrackMetadata&) const = default;
};

// The player's side. Called on the UI thread from inside the bus's dispatch
// (the actions) and from MprisService::refresh (the queries).
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;
    virtual PlaybackStatus status() = 0;
    virtual bool loaded() = 0;  // CanPlay and CanPause
    virtual TrackMetadata metadata() = 0;
    virtual std::int64_t positionUs() = 0;
    // 1.0 is the file as it is; the player takes what it is given as its
    // own volume reads back.
    virtual double volume() = 0;
    virtual void setVolume(double volume) = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void playPause() = 0;
    virtual void stop() = 0;
    virtual void raise() = 0;
    virtual void quit() = 0;
};

class MprisService {
public:
    // Exports the service on the session bus under
    // org.mpris.MediaPlayer2.<name>, or <name>.instance<pid> when another
    // process holds that. With no session bus it stays inactive, quietly.
    MprisService(MediaPlayer& player, const char* name);
    ~MprisService();
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    bool active() const { return m_bus != nullptr; }
    const std::string& busName() const { return m_busName; }

    // Asks the player for its state and sends one PropertiesChanged with
    // whatever differs from what was last announced; nothing when nothing
    // does. The owner calls it after anything that may change the player.
    void refresh();

private:
    struct Vtables;
    void close();

    MediaPlayer& m_player;
    sd_bus* m_bus = nullptr;
    sd_bus_slot* m_rootSlot = nullptr;
    sd_bus_slot* m_playerSlot = nullptr;
    std::string m_busName;
    PlaybackStatus m_status = PlaybackStatus::Stopped;
    bool m_loaded = false;
    TrackMetadata m_metadata;
    double m_volume = 1.0;
};

}  // namespace bus
