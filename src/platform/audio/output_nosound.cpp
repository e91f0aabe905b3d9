// The real-time no-sound output: an ideal device driven by the steady clock.
// A thread wakes twice per buffer and consumes what the clock says was
// played, keeping one buffer of frames ahead, as a sound card would.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/output.h"
#include "platform/audio/silent_clock.h"

namespace ostaudio {

namespace {

using Clock = SilentClock::Clock;
constexpr int kBlockFrames = 4096;

class NoSoundOutput : public Output {
public:
    ~NoSoundOutput() override { NoSoundOutput::close(); }

    int numDrivers() override { return 1; }
    bool driverName(int id, std::string* name) override {
        if (id != 0) return false;
        *name = "No sound";
        return true;
    }

    Result open(int driver, const OutputFormat& format, MixSource* source) override {
        if (driver != 0 || source == nullptr) return ERR_INVALID_PARAM;
        if (m_thread.joinable()) return ERR_INITIALIZED;
        m_format = format;
        m_source = source;
        m_block.assign((std::size_t)kBlockFrames * 2, 0.0f);
        m_clock = SilentClock(format.rate);
        m_quit = false;
        try {
            m_thread = std::thread(&NoSoundOutput::run, this);
        } catch (...) {
            close();
            return ERR_OUTPUT_INIT;
        }
        return OK;
    }

    void close() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_cv.notify_all();
        if (m_thread.joinable()) m_thread.join();
        m_source = nullptr;
    }

    void lock() override { m_mutex.lock(); }
    void unlock() override { m_mutex.unlock(); }
    std::int64_t latencyFrames() override { return m_clock.held(Clock::now()); }

    void setPaused(bool paused) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (paused != m_clock.running()) return;
            m_clock.run(!paused, Clock::now());
        }
        m_cv.notify_all();
    }

    void flush() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_clock.flush(Clock::now());
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_quit) {
            if (!m_clock.running()) {
                m_cv.wait(lock, [&] { return m_quit || m_clock.running(); });
                continue;
            }
            std::int64_t want = m_clock.due(Clock::now(), m_format.bufferFrames);
            while (want > 0 && m_source != nullptr) {
                int n = (int)std::min<std::int64_t>(want, kBlockFrames);
                m_source->mix(m_block.data(), n, false);
                m_clock.wrote(n);
                want -= n;
            }
            // Half a buffer between wake-ups keeps the device fed with few of them.
            auto period = std::chrono::milliseconds(std::max(10, m_format.bufferFrames * 500 / m_format.rate));
            m_cv.wait_for(lock, period, [&] { return m_quit || !m_clock.running(); });
        }
    }

    OutputFormat m_format;
    MixSource* m_source = nullptr;
    std::vector<float> m_block;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::thread m_thread;
    bool m_quit = false;
    SilentClock m_clock;
};

}  // namespace

std::unique_ptr<Output> makeNoSoundOutput() { return std::make_unique<NoSoundOutput>(); }

}  // namespace ostaudio
