// A streamed sound: a decoder thread fills a ring of float stereo frames that
// the mixer drains. One mutex guards the ring and the commands; it is held
// only for copies, never while decoding.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/decoder.h"

namespace ostaudio {

class Stream {
public:
    // About 0.75 s at 44.1 kHz: the decoder wakes when half of it is free.
    static constexpr int kRingFrames = 32768;
    static constexpr int kChunkFrames = 4096;
    // A looping file that decodes to no more than this is decoded twice,
    // then looped from memory: enough to spare tiny and damaged files their
    // rewinds, while the pass kept (stereo float, 0.77 MB at 48 kHz) stays
    // small beside the rest of the player.
    static constexpr int kMemoryPassSeconds = 2;

    Stream(int outRate, bool loop);
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Opens and starts decoding ahead. On failure nothing keeps running.
    Result open(const std::string& path);

    // Back to the beginning; what was buffered is dropped.
    void restart();
    // Waits, at most `ms`, until the ring is as full as decoding keeps it or
    // the stream is over, so a real-time output does not start on an underrun.
    void waitReady(int ms);
    // Frames read() gives now without running short; at the end of the
    // file, as many as asked.
    int readable();

    struct ReadResult {
        int frames = 0;
        bool ended = false;  // the stream is over and everything was read
    };
    // Mixer side. With `wait`, blocks until `frames` are there or the stream
    // ends; otherwise takes what is buffered.
    ReadResult read(float* out, int frames, bool wait);

    // In microseconds, as the decoder has it: stated, then exact once its
    // scan is done.
    std::uint64_t durationUs() const;
    // Output frames in one pass of a looping stream, once the first pass has
    // been decoded; 0 before.
    std::int64_t passFrames() const { return m_passFrames.load(std::memory_order_acquire); }
    bool looping() const { return m_loop; }
    const char* decoderName() const { return m_decoder.name(); }
    int rate() const { return m_rate; }

private:
    void run();
    void paceShortPass(std::chrono::steady_clock::time_point passStart, std::int64_t passFrames);
    int freeFrames() const { return kRingFrames - m_count; }
    void push(const float* data, int frames);

    const int m_rate;
    const bool m_loop;
    Decoder m_decoder;
    std::atomic<std::int64_t> m_passFrames{0};

    std::mutex m_mutex;
    std::condition_variable m_producerCv;
    std::condition_variable m_consumerCv;
    std::vector<float> m_ring;
    int m_head = 0;   // next frame to read
    int m_count = 0;  // frames buffered
    std::int64_t m_readSinceStart = 0;
    bool m_ended = false;
    bool m_quit = false;
    unsigned m_wantGen = 0;  // bumped by restart()
    unsigned m_haveGen = 0;  // generation the ring holds
    std::thread m_thread;
};

}  // namespace ostaudio
