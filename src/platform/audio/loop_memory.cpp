#include "platform/audio/loop_memory.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ostaudio {

void LoopMemory::passEnded(std::int64_t frames) {
    if (m_state == State::Waiting) {
        if (frames > m_maxFrames) {
            giveUp();
        } else {
            m_state = State::Recording;
            // The next pass is about as long: held in one block from the
            // start, it never costs twice its size while it grows.
            try {
                m_pass.reserve(((std::size_t)frames + 64) * 2);
            } catch (const std::bad_alloc&) {
                giveUp();
            }
        }
    } else if (m_state == State::Recording) {
        if (m_pass.empty()) {
            giveUp();
            return;
        }
        m_state = State::Ready;
        m_pos = 0;
    }
}

void LoopMemory::record(const float* data, int frames) {
    if (m_state != State::Recording) return;
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

void LoopMemory::restart() {
    m_pos = 0;
    if (m_state == State::Recording) {
        m_pass.clear();
        m_state = State::Waiting;
    }
}

void LoopMemory::giveUp() {
    std::vector<float>().swap(m_pass);
    m_state = State::GaveUp;
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
