// Sounds and channels: the operations on their handles.
#include <algorithm>

#include "platform/audio/system_state.h"

namespace ostaudio {

Result Sound::getLength(unsigned* length, TimeUnit lengthtype) {
    if (length == nullptr) return ERR_INVALID_PARAM;
    const Stream& stream = *m_state->stream;
    std::uint64_t us = stream.durationUs();
    if (lengthtype == TIMEUNIT_MS) {
        *length = (unsigned)std::min<std::uint64_t>(us / 1000, 0xFFFFFFFFu);
    } else if (lengthtype == TIMEUNIT_PCM) {
        *length = (unsigned)std::min<std::uint64_t>(us * (std::uint64_t)stream.rate() / 1000000, 0xFFFFFFFFu);
    } else {
        return ERR_INVALID_PARAM;
    }
    return OK;
}

Result Sound::getLengthUs(std::uint64_t* length) {
    if (length == nullptr) return ERR_INVALID_PARAM;
    *length = m_state->stream->durationUs();
    return OK;
}

Result Sound::release() {
    SystemState& s = *m_state->system;
    bool wasPlaying = false;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (ChannelSlot* slot = s.slotOf(m_state->channel)) {
            s.detach(*slot);
            wasPlaying = true;
        }
        s.sounds.erase(std::remove(s.sounds.begin(), s.sounds.end(), this), s.sounds.end());
    }
    if (wasPlaying) s.syncOutput(true);
    delete m_state;
    delete this;
    return OK;
}

namespace {

// Runs `fn` on the channel's slot under the system lock, or reports a
// channel that no longer plays.
template <typename Fn>
Result withSlot(SystemState* system, int index, Fn fn) {
    if (system == nullptr) return ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> lock(system->mutex);
    ChannelSlot* slot = system->slotOf(index);
    if (slot == nullptr || slot->sound == nullptr) return ERR_INVALID_HANDLE;
    return fn(*slot);
}

}  // namespace

Result Channel::setPaused(bool paused) {
    Result rc = withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        slot.paused = paused;
        return OK;
    });
    if (rc == OK) m_system->syncOutput(false);
    return rc;
}

Result Channel::getPaused(bool* paused) {
    if (paused == nullptr) return ERR_INVALID_PARAM;
    return withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        *paused = slot.paused;
        return OK;
    });
}

Result Channel::isPlaying(bool* playing) {
    if (playing == nullptr) return ERR_INVALID_PARAM;
    *playing = withSlot(m_system, m_index, [](ChannelSlot&) { return OK; }) == OK;
    return OK;
}

Result Channel::stop() {
    Result rc = withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        m_system->detach(slot);
        return OK;
    });
    if (rc == OK) m_system->syncOutput(true);
    return rc;
}

Result Channel::getPosition(unsigned* position, TimeUnit postype) {
    if (position == nullptr) return ERR_INVALID_PARAM;
    if (postype != TIMEUNIT_MS && postype != TIMEUNIT_PCM) return ERR_INVALID_PARAM;
    std::int64_t heard = 0;
    Result rc = heardFrames(&heard);
    if (rc != OK) return rc;
    std::int64_t value = postype == TIMEUNIT_MS ? heard * 1000 / m_system->format.rate : heard;
    *position = (unsigned)std::min<std::int64_t>(value, 0xFFFFFFFF);
    return OK;
}

Result Channel::getPositionUs(std::uint64_t* position) {
    if (position == nullptr) return ERR_INVALID_PARAM;
    std::int64_t heard = 0;
    Result rc = heardFrames(&heard);
    if (rc != OK) return rc;
    *position = (std::uint64_t)(heard * 1000000 / m_system->format.rate);
    return OK;
}

Result Channel::heardFrames(std::int64_t* frames) {
    if (m_system == nullptr || !m_system->output) return ERR_INVALID_HANDLE;
    Output& output = *m_system->output;
    output.lock();
    std::int64_t latency = output.latencyFrames();
    std::int64_t heard = 0;
    Result rc = withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        heard = m_system->heardFrames(slot, latency);
        return OK;
    });
    output.unlock();
    if (rc == OK) *frames = heard;
    return rc;
}

Result Channel::setVolume(float volume) {
    // NaN is no volume at all; it is taken as silence, like a negative one.
    // Past +20 dB (and at infinity) there is only distortion left to gain.
    constexpr float kLoudest = 10.0f;
    if (!(volume > 0.0f)) volume = 0.0f;
    volume = std::min(volume, kLoudest);
    Result rc = withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        slot.volume = volume;
        return OK;
    });
    if (rc == OK) m_system->syncVolume();
    return rc;
}

Result Channel::getVolume(float* volume) {
    if (volume == nullptr) return ERR_INVALID_PARAM;
    return withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        *volume = slot.volume;
        return OK;
    });
}

Result Channel::setUserData(void* userdata) {
    if (m_system == nullptr) return ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> lock(m_system->mutex);
    ChannelSlot* slot = m_system->slotOf(m_index);
    if (slot == nullptr) return ERR_INVALID_HANDLE;
    slot->userData = userdata;
    return OK;
}

Result Channel::getUserData(void** userdata) {
    if (userdata == nullptr) return ERR_INVALID_PARAM;
    if (m_system == nullptr) return ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> lock(m_system->mutex);
    ChannelSlot* slot = m_system->slotOf(m_index);
    if (slot == nullptr) return ERR_INVALID_HANDLE;
    *userdata = slot->userData;
    return OK;
}

Result Channel::setCallback(ChannelCallback callback) {
    return withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        slot.callback = callback;
        return OK;
    });
}

}  // namespace ostaudio
