// The engine's state as the desktop's media controls read it, and the
// volume they set.
#include <algorithm>

#include "playback/ot_playengine.h"

bool OstPlayEngine::IsLoaded() const { return m_pSound != nullptr; }

// In microseconds, as the media controls count: whole milliseconds would
// cut up to one from every length and leave a file under one without any.
std::uint64_t OstPlayEngine::GetLengthUs() {
    std::uint64_t length = 0;
    if (m_pSound != nullptr && m_pSound->getLengthUs(&length) != ostaudio::OK) length = 0;
    return length;
}

std::uint64_t OstPlayEngine::GetPositionUs() {
    std::uint64_t position = 0;
    if (!m_bStopped && m_pChannel->getPositionUs(&position) != ostaudio::OK) position = 0;
    return position;
}

const std::string& OstPlayEngine::GetFileName() const { return m_strFileName; }

float OstPlayEngine::GetVolume() const { return m_fVolume; }

void OstPlayEngine::SetVolume(float fVolume) {
    // As the library takes it: below 0 (and NaN) is silence, 10 the most.
    m_fVolume = fVolume > 0.0f ? std::min(fVolume, 10.0f) : 0.0f;
    if (!m_bStopped) m_pChannel->setVolume(m_fVolume);
}
