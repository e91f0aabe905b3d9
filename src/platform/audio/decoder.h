// Decoding one file to interleaved float stereo at the output rate.
//
// Every decoder implements DecoderFuncs, a table of plain functions so that
// the FFmpeg decoder can live in a module loaded only when a file needs it.
// One thread uses a handle at a time (createSound's, then the stream's
// decoder thread); different handles are independent.
//
//   open    required. Opens `path` and decodes its first audio, so a file
//           that only looks like audio fails here. On failure returns the
//           error with *handle null: there is nothing to close.
//   read    required. Up to `maxFrames` frames at `outRate`; 0 at the end
//           of the file. `drain` at the end flushes the resampler's tail
//           (the stream is not going to loop); without it the tail is kept
//           for the next pass. A pass is the audio alone: an encoder's delay
//           and padding, where the file states them, are left out, so that
//           a file made to loop does so without a seam.
//   rewind  required. Back to the beginning, keeping the resampler's state
//           so a loop is continuous. False if the file no longer reads.
//   length  required. Milliseconds as the file states them; 0 if unknown.
//   close   required. Frees the handle.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/audio.h"

namespace ostaudio {

struct DecoderFuncs {
    const char* name;
    Result (*open)(const char* path, int outRate, void** handle);
    int (*read)(void* handle, float* out, int maxFrames, bool drain);
    bool (*rewind)(void* handle);
    std::uint64_t (*length)(void* handle);
    void (*close)(void* handle);
};

// The file rates a decoder accepts: below or above these no file is made,
// and a header that says so is damaged. Its open fails with ERR_FORMAT.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;
inline bool usableSampleRate(long long rate) { return rate >= kMinSampleRate && rate <= kMaxSampleRate; }

// The decoder module's entry point, by this name, takes the interface
// version the library was built with and returns null if it differs.
constexpr unsigned kDecoderModuleVersion = 1;
using DecoderModuleEntry = const DecoderFuncs* (*)(unsigned version);
constexpr const char* kDecoderModuleEntry = "ostaudio_decoder_module";
constexpr const char* kDecoderModuleFile = "ostaudio_ffmpeg.so";

// The light decoders, linked in.
const DecoderFuncs& mpg123Decoder();
const DecoderFuncs& sndfileDecoder();
// The FFmpeg decoder module, loaded on first use; null if it is missing or
// does not load. Thread-safe.
const DecoderFuncs* moduleDecoder();
// Where the module is looked for from now on, instead of the usual places;
// null restores them. A module already loaded stays in the process but is
// used only if found again.
void setModuleSearchDirs(const std::vector<std::string>* dirs);

// The decoder a stream uses: the first that opens the file, light ones
// first. Not thread-safe.
class Decoder {
public:
    explicit Decoder(int outRate) : m_outRate(outRate) {}
    ~Decoder() { close(); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    Result open(const std::string& path);
    bool rewind() { return m_funcs != nullptr && m_funcs->rewind(m_handle); }
    int read(float* out, int maxFrames, bool drain) {
        return m_funcs != nullptr ? m_funcs->read(m_handle, out, maxFrames, drain) : 0;
    }
    std::uint64_t durationMs() const { return m_funcs != nullptr ? m_funcs->length(m_handle) : 0; }
    // The chosen decoder's name ("mpg123", "sndfile", "ffmpeg"); empty if none.
    const char* name() const { return m_funcs != nullptr ? m_funcs->name : ""; }

private:
    void close();

    int m_outRate;
    const DecoderFuncs* m_funcs = nullptr;
    void* m_handle = nullptr;
};

}  // namespace ostaudio
