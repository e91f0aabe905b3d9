// FFmpeg decoding of one file to interleaved float stereo at a fixed rate.
// Not thread-safe: one thread uses a decoder at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/audio.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace ostaudio {

class Decoder {
public:
    explicit Decoder(int outRate);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens the file and decodes its first audio so a file that yields none
    // fails here. The failure path leaves the decoder closed.
    Result open(const std::string& path);
    // Starts the file again from its beginning; the resampler keeps its
    // state, so a loop is continuous. False if the file no longer opens.
    bool rewind();

    // Up to `maxFrames` frames; 0 at the end of the file. `drain` at the end
    // flushes the resampler's tail (the stream is not going to loop).
    int read(float* out, int maxFrames, bool drain);

    // Duration in milliseconds as the container states it; 0 if unknown.
    std::uint64_t durationMs() const { return m_durationMs; }

private:
    Result openInput();
    void closeInput();
    bool decodeMore();  // false at the end of the file
    bool convert(const AVFrame* frame);
    void drainResampler();

    int m_outRate;
    std::string m_path;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_swr = nullptr;
    int m_stream = -1;
    int m_swrRate = 0;
    int m_swrFormat = -1;
    std::uint64_t m_swrLayout = 0;
    int m_swrChannels = 0;
    bool m_inputEnded = false;
    bool m_drained = false;
    std::uint64_t m_durationMs = 0;
    std::vector<float> m_pending;  // converted frames not yet handed out
    std::size_t m_pendingPos = 0;   // in floats
};

}  // namespace ostaudio
