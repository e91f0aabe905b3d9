#include "platform/audio/stream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

#include "platform/audio/loop_memory.h"

namespace ostaudio {

Stream::Stream(int outRate, bool loop) : m_rate(outRate), m_loop(loop), m_decoder(outRate) {}

Stream::~Stream() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_producerCv.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

Result Stream::open(const std::string& path) {
    Result rc = m_decoder.open(path);
    if (rc != OK) return rc;
    m_ring.assign((std::size_t)kRingFrames * 2, 0.0f);
    try {
        m_thread = std::thread(&Stream::run, this);
    } catch (...) {
        return ERR_MEMORY;
    }
    waitReady(1000);
    return OK;
}

std::uint64_t Stream::durationUs() const {
    std::uint64_t stated = m_decoder.durationUs();
    if (stated != 0) return stated;
    std::int64_t pass = passFrames();
    return pass > 0 ? (std::uint64_t)(pass * 1000000 / m_rate) : 0;
}

void Stream::restart() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Nothing taken since the file was opened: it already starts there.
        if (m_readSinceStart == 0 && m_wantGen == m_haveGen) return;
        m_readSinceStart = 0;
        m_wantGen++;
        m_head = 0;
        m_count = 0;
        m_ended = false;
    }
    m_producerCv.notify_all();
}

void Stream::waitReady(int ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_consumerCv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        // A full ring: a sound server's first request may ask for a whole
        // buffer at once, and what is missing then would be heard as a gap.
        return m_quit || (m_haveGen == m_wantGen && (m_count > kRingFrames - kChunkFrames || m_ended));
    });
}

void Stream::push(const float* data, int frames) {
    int tail = (m_head + m_count) % kRingFrames;
    int first = std::min(frames, kRingFrames - tail);
    std::memcpy(&m_ring[(std::size_t)tail * 2], data, (std::size_t)first * 2 * sizeof(float));
    if (frames > first) {
        std::memcpy(&m_ring[0], data + (std::size_t)first * 2, (std::size_t)(frames - first) * 2 * sizeof(float));
    }
    m_count += frames;
}

int Stream::readable() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_haveGen != m_wantGen) return 0;
    return m_ended ? std::numeric_limits<int>::max() : m_count;
}

Stream::ReadResult Stream::read(float* out, int frames, bool wait) {
    ReadResult result;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_haveGen == m_wantGen) {
            int n = std::min(frames - result.frames, m_count);
            int first = std::min(n, kRingFrames - m_head);
            float* dst = out + (std::size_t)result.frames * 2;
            std::memcpy(dst, &m_ring[(std::size_t)m_head * 2], (std::size_t)first * 2 * sizeof(float));
            if (n > first) {
                std::memcpy(dst + (std::size_t)first * 2, &m_ring[0], (std::size_t)(n - first) * 2 * sizeof(float));
            }
            m_head = (m_head + n) % kRingFrames;
            m_count -= n;
            result.frames += n;
            m_readSinceStart += n;
            if (n > 0 && freeFrames() >= kRingFrames / 2) m_producerCv.notify_one();
            if (result.frames == frames) break;
            if (m_ended) {
                result.ended = true;
                break;
            }
        }
        if (!wait || m_quit) break;
        m_consumerCv.wait(lock);
    }
    return result;
}

void Stream::paceShortPass(std::chrono::steady_clock::time_point passStart, std::int64_t passFrames) {
    // A damaged file may decode to a few milliseconds a pass; looping it as
    // fast as the ring takes it would spend a core on rewinds. With half the
    // ring buffered, such a pass takes at least as long as it plays.
    if (passFrames >= kRingFrames / 2) return;
    const auto deadline = passStart + std::chrono::microseconds(passFrames * 1000000 / m_rate);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_producerCv.wait_until(lock, deadline,
                            [&] { return m_quit || m_wantGen != m_haveGen || freeFrames() >= kRingFrames / 2; });
}

void Stream::run() {
    using Clock = std::chrono::steady_clock;
    std::vector<float> chunk((std::size_t)kChunkFrames * 2);
    Clock::time_point passStart = Clock::now();
    std::int64_t passDecoded = 0;
    bool firstPass = true;
    bool filling = true;
    // A loop of short passes goes on from memory once one is recorded.
    LoopMemory memory((std::int64_t)kMemoryPassSeconds * m_rate);
    // The first pass is already open: the ring starts at generation 0.
    unsigned gen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_producerCv.wait(lock, [&] {
                if (m_quit || m_wantGen != m_haveGen) return true;
                if (m_ended) return false;
                // Fill up in one burst, then sleep until half is free, so
                // the thread wakes a few times a second at most.
                return filling ? freeFrames() >= kChunkFrames : freeFrames() >= kRingFrames / 2;
            });
            if (m_quit) return;
            if (m_wantGen != m_haveGen) {
                unsigned want = m_wantGen;
                lock.unlock();
                memory.restart();
                bool ok = memory.ready() || m_decoder.rewind();
                lock.lock();
                if (want == m_wantGen) {
                    m_haveGen = want;
                    m_head = 0;
                    m_count = 0;
                    m_ended = !ok;
                    passDecoded = 0;
                    passStart = Clock::now();
                    filling = true;
                    m_consumerCv.notify_all();
                }
                continue;
            }
            filling = true;
            gen = m_haveGen;
        }

        int n = kChunkFrames;
        if (memory.ready()) {
            memory.play(chunk.data(), n);
        } else {
            n = m_decoder.read(chunk.data(), kChunkFrames, !m_loop);
            memory.record(chunk.data(), n);
        }
        if (n == 0) {
            // A pass that yields nothing would loop forever: end instead.
            if (m_loop && passDecoded > 0) {
                if (firstPass) {
                    m_passFrames.store(passDecoded, std::memory_order_release);
                    firstPass = false;
                }
                memory.passEnded(passDecoded);
                if (memory.ready()) continue;
                paceShortPass(passStart, passDecoded);
                passDecoded = 0;
                passStart = Clock::now();
                if (m_decoder.rewind()) continue;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            if (gen == m_haveGen && m_wantGen == m_haveGen) m_ended = true;
            m_consumerCv.notify_all();
            continue;
        }
        passDecoded += n;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (gen == m_haveGen && m_wantGen == m_haveGen) {
            push(chunk.data(), n);
            if (freeFrames() < kChunkFrames) filling = false;
            m_consumerCv.notify_all();
        }
    }
}

}  // namespace ostaudio
