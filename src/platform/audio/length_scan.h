// A decoder's walk through a whole file for its exact length, on a thread of
// its own so that opening a large file stays prompt.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/audio/decoder.h"

namespace ostaudio {

class LengthScan {
public:
    // Starts `funcs.scan` on `path`; `funcs.scan` must not be null.
    LengthScan(const DecoderFuncs& funcs, std::string path);
    // Stops a scan still running; the walk gives up at its next read.
    ~LengthScan();
    LengthScan(const LengthScan&) = delete;
    LengthScan& operator=(const LengthScan&) = delete;

    // The length found, in microseconds; 0 until then or if none was.
    // Thread-safe.
    std::uint64_t lengthUs() const { return m_lengthUs.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_cancel{false};
    std::atomic<std::uint64_t> m_lengthUs{0};
    std::thread m_thread;
};

}  // namespace ostaudio
