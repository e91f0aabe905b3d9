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
//   length  required. Microseconds as the file states them; 0 if unknown.
//   close   required. Frees the handle.
//   scan    optional, for formats whose stated length may be an estimate.
//           The exact length in microseconds, from a walk through the whole
//           file at `path` apart from any handle; 0 if it cannot tell or
//           once `*cancel` is set. Runs on a thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
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
    std::uint64_t (*scan)(const char* path, const std::atomic<bool>* cancel);
};

// The file rates a decoder accepts: below or above these no file is made,
// and a header that says so is damaged. Its open fails with ERR_FORMAT.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;
inline bool usableSampleRate(long long rate) { return rate >= kMinSampleRate && rate <= kMaxSampleRate; }

// The decoder module's entry point, by this name, takes the interface
// version the library was built with and returns null if it differs.
constexpr unsigned kDecoderModuleVersion = 3;
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

class LengthScan;

// The decoder a stream uses: the first that opens the file, light ones
// first. Not thread-safe, but for durationUs.
class Decoder {
public:
    explicit Decoder(int outRate);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    Result open(const std::string& path);
    bool rewind() { return m_funcs != nullptr && m_funcs->rewind(m_handle); }
    int read(float* out, int maxFrames, bool drain) {
        return m_funcs != nullptr ? m_funcs->read(m_handle, out, maxFrames, drain) : 0;
    }
    // The stated length until a scan, started by open, finds the exact one.
    // Any thread may ask, while another reads.
    std::uint64_t durationUs() const;
    // The chosen decoder's name ("mpg123", "sndfile", "ffmpeg"); empty if none.
    const char* name() const { return m_funcs != nullptr ? m_funcs->name : ""; }

private:
    void close();

    int m_outRate;
    const DecoderFuncs* m_funcs = nullptr;
    void* m_handle = nullptr;
    std::uint64_t m_statedUs = 0;
    std::unique_ptr<LengthScan> m_scan;
};

}  // namespace ostaudio
