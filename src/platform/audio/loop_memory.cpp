#include "platform/audio/loop_memory.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ostaudio {

void LoopMemory::record(const float* data, int frames) {
    if (m_gaveUp || m_ready) return;
    const std::size_t floats = (std::size_t)frames * 2;
    if ((std::int64_t)((m_pass.size() + floats) / 2) > m_maxFrames) {
        giveUp();
        return;
    }
    try {
        m_pass.insert(m_pass.end(), data, data + floats);
    } catch (const std::bad_alloc&) {
        giveUp();
    }
}

void LoopMemory::giveUp() {
    std::vector<float>().swap(m_pass);
    m_gaveUp = true;
}

bool LoopMemory::finish() {
    if (!m_gaveUp && !m_pass.empty()) {
        m_pass.shrink_to_fit();
        m_ready = true;
    }
    m_pos = 0;
    return m_ready;
}

void LoopMemory::restart() {
    m_pos = 0;
    if (!m_ready) m_pass.clear();
}

void LoopMemory::play(float* out, int frames) {
    std::size_t want = (std::size_t)frames * 2;
    while (want > 0) {
        std::size_t n = std::min(want, m_pass.size() - m_pos);
        std::memcpy(out, m_pass.data() + m_pos, n * sizeof(float));
        out += n;
        want -= n;
        m_pos += n;
        if (m_pos == m_pass.size()) m_pos = 0;
    }
}

}  // namespace ostaudio
