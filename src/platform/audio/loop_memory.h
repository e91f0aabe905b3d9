// A short looping stream kept in memory: the pass that follows its first loop
// point is recorded, and from its end on the loop plays round from memory,
// with no rewinds, whatever the length of a pass. That pass, not the first,
// because it starts where a resampler goes on from the end of a pass, so each
// loop point sounds as when decoding round.
#pragma once

#include <cstdint>
#include <vector>

namespace ostaudio {

class LoopMemory {
public:
    // Passes of up to `maxFrames` stereo frames are kept.
    explicit LoopMemory(std::int64_t maxFrames) : m_maxFrames(maxFrames) {}

    // A pass of `frames` ended and the stream goes round. The first time,
    // if it was short enough, the next pass is recorded; at the end of that
    // one, playing from memory takes over.
    void passEnded(std::int64_t frames);
    // Keeps `frames` more of the pass being recorded, if one is. Past the
    // limit, or if memory runs out, it gives up and frees what it held.
    void record(const float* data, int frames);
    // The stream went back to its start: the loop plays from its beginning,
    // and a pass being recorded is dropped until the next loop point.
    void restart();

    bool ready() const { return m_state == State::Ready; }
    // The next `frames` frames of the loop, from where the last call left
    // off and round the end as often as needed. Only once ready.
    void play(float* out, int frames);

private:
    enum class State { Waiting, Recording, Ready, GaveUp };
    void giveUp();

    const std::int64_t m_maxFrames;
    State m_state = State::Waiting;
    std::vector<float> m_pass;
    std::size_t m_pos = 0;  // in floats
};

}  // namespace ostaudio
