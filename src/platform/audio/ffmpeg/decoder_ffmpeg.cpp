// The decoder module: FFmpeg demuxing, decoding and resampling, for every
// file the light decoders do not read (tracker modules, AAC, WMA, ...).
// Loaded by the library on first need; its only export is the entry point.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/audio/decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace ostaudio {

namespace {

class FfmpegDecoder {
public:
    explicit FfmpegDecoder(int outRate);
    ~FfmpegDecoder();
    FfmpegDecoder(const FfmpegDecoder&) = delete;
    FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

    Result open(const std::string& path);
    bool rewind();
    int read(float* out, int maxFrames, bool drain);
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
    std::size_t m_pendingPos = 0;  // in floats
};

// How far into a file we look for its first audio before giving up, so a
// large non-audio file cannot keep createSound busy.
constexpr int kMaxPacketsForFirstAudio = 2000;
// Consecutive undecodable packets after which the rest of a file is dropped.
constexpr int kMaxBadPackets = 200;

void quietLogs() {
    static bool done = false;
    if (!done) {
        av_log_set_level(std::getenv("OSTAUDIO_FFMPEG_LOG") != nullptr ? AV_LOG_WARNING : AV_LOG_QUIET);
        done = true;
    }
}

FfmpegDecoder::FfmpegDecoder(int outRate) : m_outRate(outRate) { quietLogs(); }

FfmpegDecoder::~FfmpegDecoder() {
    closeInput();
    swr_free(&m_swr);
}

void FfmpegDecoder::closeInput() {
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    m_stream = -1;
}

Result FfmpegDecoder::openInput() {
    closeInput();
    m_inputEnded = false;
    m_drained = false;

    // Only local files: the "file:" prefix keeps a name from being read as
    // another protocol, and the whitelist keeps playlists from reaching out.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    std::string url = "file:" + m_path;
    int rc = avformat_open_input(&m_format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) {
        m_format = nullptr;
        return rc == AVERROR(ENOENT) ? ERR_FILE_NOT_FOUND : ERR_FORMAT;
    }
    if (avformat_find_stream_info(m_format, nullptr) < 0) {
        closeInput();
        return ERR_FORMAT;
    }
    const AVCodec* codec = nullptr;
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_stream < 0 || codec == nullptr) {
        closeInput();
        return ERR_FORMAT;
    }
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        if ((int)i != m_stream) m_format->streams[i]->discard = AVDISCARD_ALL;
    }
    AVStream* stream = m_format->streams[m_stream];
    // No file is made at such rates; a header that says so is damaged.
    if (stream->codecpar->sample_rate != 0 && !usableSampleRate(stream->codecpar->sample_rate)) {
        closeInput();
        return ERR_FORMAT;
    }
    m_codec = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (m_codec == nullptr || m_packet == nullptr || m_frame == nullptr) {
        closeInput();
        return ERR_MEMORY;
    }
    if (avcodec_parameters_to_context(m_codec, stream->codecpar) < 0 || avcodec_open2(m_codec, codec, nullptr) < 0) {
        closeInput();
        return ERR_FORMAT;
    }

    m_durationMs = 0;
    if (m_format->duration > 0 && m_format->duration != AV_NOPTS_VALUE) {
        m_durationMs = (std::uint64_t)av_rescale(m_format->duration, 1000, AV_TIME_BASE);
    } else if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE) {
        m_durationMs = (std::uint64_t)av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    }
    return OK;
}

Result FfmpegDecoder::open(const std::string& path) {
    m_path = path;
    m_pending.clear();
    m_pendingPos = 0;
    Result rc = openInput();
    if (rc != OK) return rc;
    // Decode until the first converted audio, so a file that only looks like
    // audio fails now and not on the decoder thread.
    int packets = 0;
    while (m_pending.size() == m_pendingPos) {
        if (packets++ > kMaxPacketsForFirstAudio || !decodeMore()) {
            closeInput();
            swr_free(&m_swr);
            return ERR_FILE_BAD;
        }
    }
    return OK;
}

bool FfmpegDecoder::rewind() {
    m_pending.clear();
    m_pendingPos = 0;
    // A seek costs little next to opening and probing the file again, which
    // a file that decodes to a few milliseconds would do many times a second.
    if (m_format != nullptr && m_codec != nullptr &&
        avformat_seek_file(m_format, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BACKWARD) >= 0) {
        avcodec_flush_buffers(m_codec);
        m_inputEnded = false;
        m_drained = false;
        return true;
    }
    return openInput() == OK;
}

bool FfmpegDecoder::convert(const AVFrame* frame) {
    if (!usableSampleRate(frame->sample_rate)) return false;
    AVChannelLayout layout = {};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0) {
        av_channel_layout_default(&layout, frame->ch_layout.nb_channels > 0 ? frame->ch_layout.nb_channels : 1);
    } else if (av_channel_layout_copy(&layout, &frame->ch_layout) < 0) {
        return false;
    }
    std::uint64_t mask = layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
    if (m_swr == nullptr || m_swrRate != frame->sample_rate || m_swrFormat != frame->format ||
        m_swrChannels != layout.nb_channels || m_swrLayout != mask) {
        swr_free(&m_swr);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&m_swr, &stereo, AV_SAMPLE_FMT_FLT, m_outRate, &layout, (AVSampleFormat)frame->format,
                                frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(m_swr) < 0) {
            swr_free(&m_swr);
            av_channel_layout_uninit(&layout);
            return false;
        }
        m_swrRate = frame->sample_rate;
        m_swrFormat = frame->format;
        m_swrChannels = layout.nb_channels;
        m_swrLayout = mask;
    }
    av_channel_layout_uninit(&layout);

    int capacity = swr_get_out_samples(m_swr, frame->nb_samples);
    if (capacity <= 0) return true;
    // Compact what was handed out before growing.
    if (m_pendingPos > 0) {
        m_pending.erase(m_pending.begin(), m_pending.begin() + (std::ptrdiff_t)m_pendingPos);
        m_pendingPos = 0;
    }
    std::size_t old = m_pending.size();
    m_pending.resize(old + (std::size_t)capacity * 2);
    std::uint8_t* out = reinterpret_cast<std::uint8_t*>(m_pending.data() + old);
    int got = swr_convert(m_swr, &out, capacity, (const std::uint8_t**)frame->extended_data, frame->nb_samples);
    m_pending.resize(old + (std::size_t)std::max(got, 0) * 2);
    return true;
}

void FfmpegDecoder::drainResampler() {
    if (m_swr == nullptr || m_drained) return;
    m_drained = true;
    int capacity = swr_get_out_samples(m_swr, 0);
    if (capacity <= 0) return;
    std::size_t old = m_pending.size();
    m_pending.resize(old + (std::size_t)capacity * 2);
    std::uint8_t* out = reinterpret_cast<std::uint8_t*>(m_pending.data() + old);
    int got = swr_convert(m_swr, &out, capacity, nullptr, 0);
    m_pending.resize(old + (std::size_t)std::max(got, 0) * 2);
}

bool FfmpegDecoder::decodeMore() {
    if (m_format == nullptr || m_codec == nullptr) return false;
    int bad = 0;
    for (;;) {
        int rc = avcodec_receive_frame(m_codec, m_frame);
        if (rc == 0) {
            bool ok = convert(m_frame);
            av_frame_unref(m_frame);
            if (ok) return true;
            if (++bad > kMaxBadPackets) return false;
            continue;
        }
        if (rc == AVERROR_EOF) return false;
        if (rc != AVERROR(EAGAIN)) {
            // A broken decoder state: start it over on the next packet.
            avcodec_flush_buffers(m_codec);
            if (++bad > kMaxBadPackets) return false;
        }
        if (m_inputEnded) return false;

        rc = av_read_frame(m_format, m_packet);
        if (rc < 0) {
            // End of file, or a read error: either way the file ends here,
            // after the decoder gives up what it still holds.
            m_inputEnded = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        if (m_packet->stream_index == m_stream) {
            rc = avcodec_send_packet(m_codec, m_packet);
            if (rc < 0 && rc != AVERROR(EAGAIN) && ++bad > kMaxBadPackets) {
                av_packet_unref(m_packet);
                return false;
            }
        }
        av_packet_unref(m_packet);
    }
}

int FfmpegDecoder::read(float* out, int maxFrames, bool drain) {
    int done = 0;
    while (done < maxFrames) {
        std::size_t available = (m_pending.size() - m_pendingPos) / 2;
        if (available == 0) {
            m_pending.clear();
            m_pendingPos = 0;
            if (!decodeMore()) {
                if (!drain) break;
                drainResampler();
                if (m_pending.empty()) break;
            }
            continue;
        }
        std::size_t n = std::min<std::size_t>(available, (std::size_t)(maxFrames - done));
        std::memcpy(out + (std::size_t)done * 2, m_pending.data() + m_pendingPos, n * 2 * sizeof(float));
        m_pendingPos += n * 2;
        done += (int)n;
    }
    return done;
}

Result openFfmpeg(const char* path, int outRate, void** handle) {
    *handle = nullptr;
    auto* decoder = new (std::nothrow) FfmpegDecoder(outRate);
    if (decoder == nullptr) return ERR_MEMORY;
    Result rc = decoder->open(path);
    if (rc != OK) {
        delete decoder;
        return rc;
    }
    *handle = decoder;
    return OK;
}

int readFfmpeg(void* handle, float* out, int maxFrames, bool drain) {
    return static_cast<FfmpegDecoder*>(handle)->read(out, maxFrames, drain);
}

bool rewindFfmpeg(void* handle) { return static_cast<FfmpegDecoder*>(handle)->rewind(); }

std::uint64_t lengthFfmpeg(void* handle) { return static_cast<FfmpegDecoder*>(handle)->durationMs(); }

void closeFfmpeg(void* handle) { delete static_cast<FfmpegDecoder*>(handle); }

const DecoderFuncs kFfmpeg = {"ffmpeg", openFfmpeg, readFfmpeg, rewindFfmpeg, lengthFfmpeg, closeFfmpeg, nullptr};

}  // namespace
}  // namespace ostaudio

extern "C" __attribute__((visibility("default"))) const ostaudio::DecoderFuncs* ostaudio_decoder_module(
    unsigned version) {
    return version == ostaudio::kDecoderModuleVersion ? &ostaudio::kFfmpeg : nullptr;
}
