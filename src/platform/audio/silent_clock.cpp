#include "platform/audio/silent_clock.h"

#include <algorithm>

namespace ostaudio {

void SilentClock::reset(std::int64_t held) {
    m_running = false;
    m_playedBase = 0;
    m_written = std::max<std::int64_t>(0, held);
}

void SilentClock::run(bool running, Clock::time_point now) {
    if (running == m_running) return;
    if (running) {
        m_runStart = now;
    } else {
        // What was held and not played stays held.
        m_playedBase = std::min(played(now), m_written);
    }
    m_running = running;
}

std::int64_t SilentClock::played(Clock::time_point now) const {
    if (!m_running) return m_playedBase;
    auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - m_runStart).count();
    return m_playedBase + std::max<std::int64_t>(0, elapsed) * m_rate / 1000000;
}

std::int64_t SilentClock::held(Clock::time_point now) const {
    return std::max<std::int64_t>(0, m_written - played(now));
}

std::int64_t SilentClock::due(Clock::time_point now, std::int64_t ahead) {
    std::int64_t at = played(now);
    if (m_written < at) m_written = at;
    return std::max<std::int64_t>(0, at + ahead - m_written);
}

void SilentClock::flush(Clock::time_point now) { m_written = std::min(m_written, played(now)); }

}  // namespace ostaudio
