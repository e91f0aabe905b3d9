#include "platform/audio/native_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ostaudio {

namespace {

constexpr int kChunkFrames = 2048;
// Output frames one resampling step makes at most, whatever the ratio.
constexpr int kSliceFrames = 4096;

struct NativeHandle {
    std::unique_ptr<NativeSource> source;
    int outRate = 0;
    Resampler resampler;
    std::vector<float> pending;  // output frames not yet handed out
    std::size_t pendingPos = 0;  // in floats
    std::vector<float> scratch;  // decoded frames at the file's rate
    int scratchFrames = 0;
    int scratchPos = 0;  // frames of scratch already resampled
    int scratchRate = 0;
};

// Resamples the next slice of decoded frames into `pending`, decoding a new
// chunk when all are used; false at the end of the file.
bool decodeMore(NativeHandle& h) {
    if (h.scratchPos >= h.scratchFrames) {
        int n = h.source->decode(h.scratch.data(), kChunkFrames);
        if (n <= 0 || !usableSampleRate(h.source->rate())) return false;
        h.scratchFrames = n;
        h.scratchPos = 0;
        h.scratchRate = h.source->rate();
    }
    // A slow file rate makes many output frames of each decoded one: taken
    // a slice at a time, the output of a step stays small.
    const long long slice = std::max<long long>(1, (long long)kSliceFrames * h.scratchRate / h.outRate - 1);
    const int n = (int)std::min<long long>(slice, h.scratchFrames - h.scratchPos);
    h.resampler.process(h.scratch.data() + (std::size_t)h.scratchPos * 2, n, h.scratchRate, h.outRate, h.pending);
    h.scratchPos += n;
    return true;
}

}  // namespace

void Resampler::process(const float* in, int frames, int inRate, int outRate, std::vector<float>& out) {
    if (inRate == outRate) {
        if (m_primed) {
            out.insert(out.end(), m_last, m_last + 2);
            m_primed = false;
        }
        out.insert(out.end(), in, in + (std::size_t)frames * 2);
        return;
    }
    const double step = (double)inRate / outRate;
    std::size_t at = out.size();
    out.resize(at + (std::size_t)((frames + 1) / step + 2) * 2);
    float* dst = out.data();
    int i = 0;
    if (!m_primed && frames > 0) {
        m_last[0] = in[0];
        m_last[1] = in[1];
        m_primed = true;
        m_pos = 0.0;
        i = 1;
    }
    float l = m_last[0];
    float r = m_last[1];
    double pos = m_pos;
    for (; i < frames; ++i) {
        const float nl = in[2 * i];
        const float nr = in[2 * i + 1];
        while (pos < 1.0) {
            const float t = (float)pos;
            if (at + 2 > out.size()) {
                out.resize(out.size() + 64);
                dst = out.data();
            }
            dst[at++] = l + (nl - l) * t;
            dst[at++] = r + (nr - r) * t;
            pos += step;
        }
        pos -= 1.0;
        l = nl;
        r = nr;
    }
    m_last[0] = l;
    m_last[1] = r;
    m_pos = pos;
    out.resize(at);
}

void Resampler::drain(int inRate, int outRate, std::vector<float>& out) {
    if (!m_primed) return;
    const double step = (double)inRate / outRate;
    while (m_pos < 1.0) {
        out.insert(out.end(), m_last, m_last + 2);
        m_pos += step;
    }
    m_primed = false;
    m_pos = 0.0;
}

Result openNative(NativeOpen opener, const char* path, int outRate, void** handle) {
    *handle = nullptr;
    Result rc = ERR_FORMAT;
    std::unique_ptr<NativeSource> source = opener(path, &rc);
    if (source == nullptr) return rc;
    auto* h = new (std::nothrow) NativeHandle();
    if (h == nullptr) return ERR_MEMORY;
    h->source = std::move(source);
    h->outRate = outRate;
    h->scratch.resize((std::size_t)kChunkFrames * 2);
    // A file that yields no audio fails now, not on the decoder thread.
    if (!decodeMore(*h)) {
        delete h;
        return ERR_FILE_BAD;
    }
    *handle = h;
    return OK;
}

int readNative(void* handle, float* out, int maxFrames, bool drain) {
    NativeHandle& h = *static_cast<NativeHandle*>(handle);
    int done = 0;
    while (done < maxFrames) {
        std::size_t available = (h.pending.size() - h.pendingPos) / 2;
        if (available == 0) {
            h.pending.clear();
            h.pendingPos = 0;
            if (!decodeMore(h)) {
                if (!drain) break;
                h.resampler.drain(h.source->rate(), h.outRate, h.pending);
                if (h.pending.empty()) break;
            }
            continue;
        }
        std::size_t n = std::min<std::size_t>(available, (std::size_t)(maxFrames - done));
        std::memcpy(out + (std::size_t)done * 2, h.pending.data() + h.pendingPos, n * 2 * sizeof(float));
        h.pendingPos += n * 2;
        done += (int)n;
    }
    return done;
}

bool rewindNative(void* handle) {
    NativeHandle& h = *static_cast<NativeHandle*>(handle);
    h.pending.clear();
    h.pendingPos = 0;
    h.scratchFrames = 0;
    h.scratchPos = 0;
    return h.source->seekStart();
}

std::uint64_t lengthNative(void* handle) { return static_cast<NativeHandle*>(handle)->source->lengthUs(); }

void closeNative(void* handle) { delete static_cast<NativeHandle*>(handle); }

}  // namespace ostaudio
