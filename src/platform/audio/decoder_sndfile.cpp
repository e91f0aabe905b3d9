// libsndfile: WAV, AIFF, FLAC, Ogg Vorbis, Opus and the other formats it
// recognises by their headers.
#include <sndfile.h>

#include <new>
#include <string>
#include <vector>

#include "platform/audio/native_decoder.h"

namespace ostaudio {

namespace {

constexpr int kMaxChannels = 64;

bool usableInfo(const SF_INFO& info) {
    return info.channels > 0 && info.channels <= kMaxChannels && usableSampleRate(info.samplerate);
}

class SndfileSource final : public NativeSource {
public:
    SndfileSource(SNDFILE* file, const SF_INFO& info, const char* path) : m_file(file), m_info(info), m_path(path) {}
    ~SndfileSource() override { sf_close(m_file); }

    int rate() const override { return m_info.samplerate; }

    int decode(float* out, int maxFrames) override {
        const int channels = m_info.channels;
        if (channels == 2) return (int)sf_readf_float(m_file, out, maxFrames);
        m_buffer.resize((std::size_t)maxFrames * (std::size_t)channels);
        int n = (int)sf_readf_float(m_file, m_buffer.data(), maxFrames);
        for (int i = 0; i < n; ++i) {
            const float* in = &m_buffer[(std::size_t)i * (std::size_t)channels];
            // Mono to both sides; beyond stereo, the front pair.
            out[2 * i] = in[0];
            out[2 * i + 1] = channels == 1 ? in[0] : in[1];
        }
        return n;
    }

    bool seekStart() override {
        if (sf_seek(m_file, 0, SEEK_SET) == 0) return true;
        // After a decode error some formats (FLAC) refuse every seek; the
        // file opened afresh starts at its beginning.
        SF_INFO info = {};
        SNDFILE* file = sf_open(m_path.c_str(), SFM_READ, &info);
        if (file == nullptr) return false;
        if (!usableInfo(info)) {
            sf_close(file);
            return false;
        }
        sf_close(m_file);
        m_file = file;
        m_info = info;
        return true;
    }

    std::uint64_t lengthUs() const override {
        if (m_info.frames <= 0 || m_info.frames == SF_COUNT_MAX) return 0;
        return (std::uint64_t)m_info.frames * 1000000 / (std::uint64_t)m_info.samplerate;
    }

private:
    SNDFILE* m_file;
    SF_INFO m_info;
    std::string m_path;
    std::vector<float> m_buffer;
};

std::unique_ptr<NativeSource> openSource(const char* path, Result* result) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) {
        *result = ERR_FORMAT;
        return nullptr;
    }
    if (!usableInfo(info)) {
        sf_close(file);
        *result = ERR_FORMAT;
        return nullptr;
    }
    auto* source = new (std::nothrow) SndfileSource(file, info, path);
    if (source == nullptr) {
        sf_close(file);
        *result = ERR_MEMORY;
        return nullptr;
    }
    return std::unique_ptr<NativeSource>(source);
}

Result openSndfile(const char* path, int outRate, void** handle) {
    return openNative(openSource, path, outRate, handle);
}

const DecoderFuncs kSndfile = {"sndfile", openSndfile, readNative, rewindNative, lengthNative, closeNative, nullptr};

}  // namespace

const DecoderFuncs& sndfileDecoder() { return kSndfile; }

}  // namespace ostaudio
