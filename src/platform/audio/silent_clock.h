// A device that plays nothing: it takes frames at the output rate from the
// moment it runs, as a sound card would, so the position moves on. The
// no-sound output is one; the PulseAudio output runs on one while its server
// is away. Time is passed in, so it can be driven by hand.
#pragma once

#include <chrono>
#include <cstdint>

namespace ostaudio {

class SilentClock {
public:
    using Clock = std::chrono::steady_clock;

    explicit SilentClock(int rate = 44100) : m_rate(rate) {}

    // Starts over, stopped, holding `held` frames already written.
    void reset(std::int64_t held = 0);
    // Runs or stops the clock at `now`; stopped, it consumes nothing.
    void run(bool running, Clock::time_point now);
    bool running() const { return m_running; }

    std::int64_t played(Clock::time_point now) const;
    // Written and not yet played.
    std::int64_t held(Clock::time_point now) const;
    // Frames to write now so that `ahead` frames are held. After a stall the
    // frames the clock played meanwhile were silence and are not asked for.
    std::int64_t due(Clock::time_point now, std::int64_t ahead);
    void wrote(std::int64_t frames) { m_written += frames; }
    // Drops what is held.
    void flush(Clock::time_point now);

private:
    int m_rate;
    bool m_running = false;
    Clock::time_point m_runStart;
    std::int64_t m_playedBase = 0;
    std::int64_t m_written = 0;
};

}  // namespace ostaudio
