// The non-real-time no-sound output, clocked by hand.
#include "platform/audio/output_nosound_nrt.h"

#include <algorithm>

namespace ostaudio {

namespace {
constexpr int kBlockFrames = 1024;
}

bool NoSoundNrtOutput::driverName(int id, std::string* name) {
    if (id != 0) return false;
    *name = this->name();
    return true;
}

Result NoSoundNrtOutput::open(int driver, const OutputFormat& format, MixSource* source) {
    if (driver != 0 || source == nullptr) return ERR_INVALID_PARAM;
    m_format = format;
    m_buffer.assign((std::size_t)kBlockFrames * 2, 0.0f);
    m_source = source;
    return OK;
}

void NoSoundNrtOutput::close() {
    m_source = nullptr;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
}

void NoSoundNrtOutput::flush() { m_held = 0; }

Result NoSoundNrtOutput::advance(std::int64_t frames) {
    if (m_source == nullptr) return ERR_UNINITIALIZED;
    while (frames > 0) {
        int n = (int)std::min<std::int64_t>(frames, kBlockFrames);
        m_source->mix(m_buffer.data(), n, true);
        deliver(m_buffer.data(), n);
        m_held = std::min(m_latency, m_held + n);
        frames -= n;
    }
    return OK;
}

std::unique_ptr<Output> makeNoSoundNrtOutput() { return std::make_unique<NoSoundNrtOutput>(); }

}  // namespace ostaudio
