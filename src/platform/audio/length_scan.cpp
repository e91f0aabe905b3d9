#include "platform/audio/length_scan.h"

#include <sys/resource.h>
#include <unistd.h>

namespace ostaudio {

LengthScan::LengthScan(const DecoderFuncs& funcs, std::string path) {
    try {
        m_thread = std::thread([this, scan = funcs.scan, path = std::move(path)] {
            // Behind the threads that decode and play, so that a drop stays prompt.
            ::setpriority(PRIO_PROCESS, (id_t)::gettid(), 10);
            m_lengthUs.store(scan(path.c_str(), &m_cancel), std::memory_order_release);
        });
    } catch (...) {
        // No thread to spare: the stated length stays.
    }
}

LengthScan::~LengthScan() {
    m_cancel.store(true, std::memory_order_relaxed);
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace ostaudio
