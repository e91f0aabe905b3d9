// The MPRIS service: the two exported interfaces, their properties and the
// change announcements; see mpris.h.
#include "platform/bus/mpris.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/bus/session_bus.h"

namespace bus {

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

const char* statusName(PlaybackStatus status) {
    switch (status) {
    case PlaybackStatus::Playing: return "Playing";
    case PlaybackStatus::Paused: return "Paused";
    case PlaybackStatus::Stopped: break;
    }
    return "Stopped";
}

int appendEntry(sd_bus_message* m, const char* key, const char* signature, auto... values) {
    int r = sd_bus_message_open_container(m, 'e', "sv");
    if (r < 0) return r;
    if ((r = sd_bus_message_append(m, "s", key)) < 0) return r;
    if ((r = sd_bus_message_open_container(m, 'v', signature)) < 0) return r;
    if ((r = sd_bus_message_append(m, signature, values...)) < 0) return r;
    if ((r = sd_bus_message_close_container(m)) < 0) return r;
    return sd_bus_message_close_container(m);
}

int appendMetadata(sd_bus_message* m, const TrackMetadata& track) {
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (r < 0) return r;
    if (!track.trackId.empty()) {
        if ((r = appendEntry(m, "mpris:trackid", "o", track.trackId.c_str())) < 0) return r;
        if (track.lengthUs > 0 && (r = appendEntry(m, "mpris:length", "x", static_cast<int64_t>(track.lengthUs))) < 0)
            return r;
        if (!track.url.empty() && (r = appendEntry(m, "xesam:url", "s", track.url.c_str())) < 0) return r;
        if (!track.title.empty() && (r = appendEntry(m, "xesam:title", "s", track.title.c_str())) < 0) return r;
        if (!track.artist.empty() && (r = appendEntry(m, "xesam:artist", "as", 1, track.artist.c_str())) < 0) return r;
        if (!track.album.empty() && (r = appendEntry(m, "xesam:album", "s", track.album.c_str())) < 0) return r;
    }
    return sd_bus_message_close_container(m);
}

}  // namespace

struct MprisService::Vtables {
    static MprisService& self(void* data) { return *static_cast<MprisService*>(data); }

    static int constTrue(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "b", 1);
    }
    static int constFalse(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "b", 0);
    }
    static int identity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "s", "Ostrel");
    }
    static int desktopEntry(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                            sd_bus_error*) {
        return sd_bus_message_append(reply, "s", "ostrel");
    }
    static int emptyList(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "as", 0);
    }
    static int one(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "d", 1.0);
    }
    static int status(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                      sd_bus_error*) {
        return sd_bus_message_append(reply, "s", statusName(self(data).m_player.status()));
    }
    static int loaded(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                      sd_bus_error*) {
        return sd_bus_message_append(reply, "b", self(data).m_player.loaded() ? 1 : 0);
    }
    static int metadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                        sd_bus_error*) {
        return appendMetadata(reply, self(data).m_player.metadata());
    }
    static int position(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                        sd_bus_error*) {
        return sd_bus_message_append(reply, "x", static_cast<int64_t>(self(data).m_player.positionUs()));
    }
    static int volume(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                      sd_bus_error*) {
        return sd_bus_message_append(reply, "d", self(data).m_player.volume());
    }

    // Setting a property announces what it changed, as an action does.
    static int setVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void* data,
                         sd_bus_error*) {
        double volume = 1.0;
        int r = sd_bus_message_read(value, "d", &volume);
        if (r < 0) return r;
        MprisService& service = self(data);
        // Below 0 is 0, as MPRIS asks; NaN is no level at all. Above 1 is
        // 1: more would be gain on a file already at full scale, clipping.
        service.m_player.setVolume(volume > 0.0 ? (volume < 1.0 ? volume : 1.0) : 0.0);
        service.refresh();
        return 1;
    }
    // Only the normal rate is played: setting it changes nothing, any other
    // is ignored, and 0 is a pause, as MPRIS asks.
    static int setRate(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void* data,
                       sd_bus_error*) {
        double rate = 1.0;
        int r = sd_bus_message_read(value, "d", &rate);
        if (r < 0) return r;
        if (rate == 0.0) {
            MprisService& service = self(data);
            service.m_player.pause();
            service.refresh();
        }
        return 1;
    }

    // Every action is followed by the announcement of what it changed, so a
    // caller that waits for its reply has the signal already.
    template <void (MediaPlayer::*action)()>
    static int call(sd_bus_message* message, void* data, sd_bus_error*) {
        MprisService& service = self(data);
        (service.m_player.*action)();
        service.refresh();
        return sd_bus_reply_method_return(message, "");
    }
    // Next, Previous, Seek and SetPosition: their Can... properties are false,
    // so they do nothing.
    static int nothing(sd_bus_message* message, void*, sd_bus_error*) {
        return sd_bus_reply_method_return(message, "");
    }
    static int openUri(sd_bus_message*, void*, sd_bus_error* error) {
        return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "No URI scheme is supported");
    }

    static const sd_bus_vtable root[];
    static const sd_bus_vtable player[];
};

const sd_bus_vtable MprisService::Vtables::root[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", call<&MediaPlayer::raise>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Quit", "", "", call<&MediaPlayer::quit>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("CanQuit", "b", constTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", constTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", constFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", identity, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("DesktopEntry", "s", desktopEntry, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", emptyList, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", emptyList, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable MprisService::Vtables::player[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", nothing, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Previous", "", "", nothing, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Pause", "", "", call<&MediaPlayer::pause>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("PlayPause", "", "", call<&MediaPlayer::playPause>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Stop", "", "", call<&MediaPlayer::stop>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Play", "", "", call<&MediaPlayer::play>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Seek", "x", "", nothing, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetPosition", "ox", "", nothing, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenUri", "s", "", openUri, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", status, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Rate", "d", one, setRate, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Metadata", "a{sv}", metadata, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", volume, setVolume, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Position", "x", position, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", one, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", one, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoNext", "b", constFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoPrevious", "b", constFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPlay", "b", loaded, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanPause", "b", loaded, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanSeek", "b", constFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanControl", "b", constTrue, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

MprisService::MprisService(MediaPlayer& player, const char* name) : m_player(player) {
    sd_bus* bus = sessionBus();
    if (!bus) return;
    m_bus = sd_bus_ref(bus);
    if (sd_bus_add_object_vtable(m_bus, &m_rootSlot, kPath, kRootInterface, Vtables::root, this) < 0 ||
        sd_bus_add_object_vtable(m_bus, &m_playerSlot, kPath, kPlayerInterface, Vtables::player, this) < 0) {
        close();
        return;
    }
    // A second copy of the player takes a name of its own, as MPRIS asks.
    std::string wanted = std::string("org.mpris.MediaPlayer2.") + name;
    std::string alternative = wanted + ".instance" + std::to_string(getpid());
    for (const std::string& candidate : {wanted, alternative}) {
        // The start may have taken the name already, to be the one player.
        const int r = sd_bus_request_name(m_bus, candidate.c_str(), 0);
        if (r >= 0 || r == -EALREADY) {
            m_busName = candidate;
            break;
        }
    }
    if (m_busName.empty()) {
        close();
        return;
    }
    m_status = m_player.status();
    m_loaded = m_player.loaded();
    m_metadata = m_player.metadata();
    m_volume = m_player.volume();
}

MprisService::~MprisService() { close(); }

void MprisService::close() {
    if (!m_bus) return;
    if (!m_busName.empty()) sd_bus_release_name(m_bus, m_busName.c_str());
    m_rootSlot = sd_bus_slot_unref(m_rootSlot);
    m_playerSlot = sd_bus_slot_unref(m_playerSlot);
    sd_bus_flush(m_bus);
    m_bus = sd_bus_unref(m_bus);
    m_busName.clear();
}

void MprisService::refresh() {
    if (!m_bus) return;
    std::vector<char*> changed;
    PlaybackStatus status = m_player.status();
    if (status != m_status) {
        m_status = status;
        changed.push_back(const_cast<char*>("PlaybackStatus"));
    }
    bool loaded = m_player.loaded();
    if (loaded != m_loaded) {
        m_loaded = loaded;
        changed.push_back(const_cast<char*>("CanPlay"));
        changed.push_back(const_cast<char*>("CanPause"));
    }
    TrackMetadata metadata = m_player.metadata();
    if (!(metadata == m_metadata)) {
        m_metadata = std::move(metadata);
        changed.push_back(const_cast<char*>("Metadata"));
    }
    double volume = m_player.volume();
    if (volume != m_volume) {
        m_volume = volume;
        changed.push_back(const_cast<char*>("Volume"));
    }
    if (changed.empty()) return;
    changed.push_back(nullptr);
    // A bus that went away fails here, quietly: nobody is listening.
    sd_bus_emit_properties_changed_strv(m_bus, kPath, kPlayerInterface, changed.data());
}

}  // namespace bus
