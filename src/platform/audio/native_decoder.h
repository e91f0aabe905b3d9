// What the light decoders share: they decode at the file's own rate and
// this adapter turns that into DecoderFuncs at the output rate.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio/decoder.h"

namespace ostaudio {

// A file decoded to float stereo at its own rate. Not thread-safe.
class NativeSource {
public:
    virtual ~NativeSource() = default;
    // The rate of the frames the last decode returned; may change between
    // calls (an MP3 stream may switch).
    virtual int rate() const = 0;
    // Up to `maxFrames` interleaved stereo frames; 0 at the end of the file
    // or at damage it cannot get past.
    virtual int decode(float* out, int maxFrames) = 0;
    virtual bool seekStart() = 0;
    // Microseconds; 0 if unknown.
    virtual std::uint64_t lengthUs() const = 0;
};

// Linear interpolation between neighbouring frames; rates that match pass
// through untouched. The state carries across a rewind, so a loop's end
// leads into its start.
class Resampler {
public:
    // Appends the output for `frames` input frames at `inRate` to `out`.
    void process(const float* in, int frames, int inRate, int outRate, std::vector<float>& out);
    // The last input frame's share of output, at the end of a stream.
    void drain(int inRate, int outRate, std::vector<float>& out);

private:
    bool m_primed = false;  // m_last holds an input frame not yet passed
    float m_last[2] = {0.0f, 0.0f};
    double m_pos = 0.0;  // next output's place after m_last, in input frames
};

using NativeOpen = std::unique_ptr<NativeSource> (*)(const char* path, Result* result);

// Implementations of DecoderFuncs over a NativeSource opener.
Result openNative(NativeOpen opener, const char* path, int outRate, void** handle);
int readNative(void* handle, float* out, int maxFrames, bool drain);
bool rewindNative(void* handle);
std::uint64_t lengthNative(void* handle);
void closeNative(void* handle);

}  // namespace ostaudio
