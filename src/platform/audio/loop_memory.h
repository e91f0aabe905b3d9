// The first pass of a looping stream, kept while it is short: a short file is
// then decoded once and looped from memory, with no rewinds, whatever its
// length, and each pass the same to the sample.
#pragma once

#include <cstdint>
#include <vector>

namespace ostaudio {

class LoopMemory {
public:
    // Passes of up to `maxFrames` stereo frames are kept.
    explicit LoopMemory(std::int64_t maxFrames) : m_maxFrames(maxFrames) {}

    // Keeps `frames` more of the first pass. Past the limit, or if memory
    // runs out, it gives up and frees what it held.
    void record(const float* data, int frames);
    // The first pass has ended. True if it is all kept, and playing from
    // memory can take over.
    bool finish();
    // The stream is back at its start: the next play begins the loop anew,
    // and a first pass not yet ended is recorded anew.
    void restart();

    bool ready() const { return m_ready; }
    // The next `frames` frames of the loop, from where the last call left
    // off and round the end as often as needed. Only once ready.
    void play(float* out, int frames);

private:
    void giveUp();

    const std::int64_t m_maxFrames;
    std::vector<float> m_pass;
    bool m_gaveUp = false;
    bool m_ready = false;
    std::size_t m_pos = 0;  // in floats
};

}  // namespace ostaudio
