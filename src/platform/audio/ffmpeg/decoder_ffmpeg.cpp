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
    std::uint64_t durationUs() const { return m_durationUs; }

private:
    Result openInput();
    Result openCodec();
    bool seekStart();
    void closeInput();
    bool decodeMore();  // false at the end of the file
    bool readPacket();  // false once the input has ended
    void trimPadding(AVFrame* frame) const;
    bool pastSongEnd(AVFrame* frame) const;
    bool convert(const AVFrame* frame);
    void drainResampler();

    int m_outRate;
    std::string m_path;
    AVFormatContext* m_format = nullptr;
    const AVCodec* m_codecType = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    // The last frame decoded, held back until the next shows it was not the
    // file's last, which may carry the encoder's padding.
    AVFrame* m_held = nullptr;
    bool m_holding = false;
    SwrContext* m_swr = nullptr;
    int m_stream = -1;
    // The file's first packet, where a rewind must land so that the
    // encoder's priming decodes as on the first pass, and whether the
    // packet after a rewind has yet to be checked against it.
    bool m_startKnown = false;
    std::int64_t m_startPos = -1;
    std::int64_t m_startDts = AV_NOPTS_VALUE;
    bool m_checkStart = false;
    // Where the last packet read says its audio ends (stream time base).
    std::int64_t m_packetsEnd = AV_NOPTS_VALUE;
    int m_swrRate = 0;
    int m_swrFormat = -1;
    std::uint64_t m_swrLayout = 0;
    int m_swrChannels = 0;
    bool m_inputEnded = false;
    bool m_drained = false;
    std::uint64_t m_durationUs = 0;
    // Where a tracker module's song ends (stream time base), or none.
    std::int64_t m_songEnd = AV_NOPTS_VALUE;
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
    av_frame_free(&m_held);
    m_holding = false;
    m_stream = -1;
    m_startKnown = false;
    m_checkStart = false;
    m_packetsEnd = AV_NOPTS_VALUE;
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
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &m_codecType, 0);
    if (m_stream < 0 || m_codecType == nullptr) {
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
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    m_held = av_frame_alloc();
    if (m_packet == nullptr || m_frame == nullptr || m_held == nullptr) {
        closeInput();
        return ERR_MEMORY;
    }
    if (Result rc = openCodec(); rc != OK) {
        closeInput();
        return rc;
    }

    m_durationUs = 0;
    if (m_format->duration > 0 && m_format->duration != AV_NOPTS_VALUE) {
        m_durationUs = (std::uint64_t)av_rescale(m_format->duration, 1000000, AV_TIME_BASE);
    } else if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE) {
        m_durationUs = (std::uint64_t)av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000000});
    }
    // libopenmpt works a module's length out from its patterns, exactly:
    // the song ends and loops there. What it renders past that is its own
    // fade-out, which would make every pass longer than the stated length
    // and put a fade and a jump at each loop.
    m_songEnd = AV_NOPTS_VALUE;
    if (m_durationUs > 0 && std::strcmp(m_format->iformat->name, "libopenmpt") == 0) {
        m_songEnd = av_rescale_q((std::int64_t)m_durationUs, AVRational{1, 1000000}, stream->time_base);
    }
    return OK;
}

Result FfmpegDecoder::openCodec() {
    avcodec_free_context(&m_codec);
    m_codec = avcodec_alloc_context3(m_codecType);
    if (m_codec == nullptr) return ERR_MEMORY;
    const AVStream* stream = m_format->streams[m_stream];
    if (avcodec_parameters_to_context(m_codec, stream->codecpar) < 0) return ERR_FORMAT;
    // Frames then carry the packets' timestamps, against which the padding
    // at the end is found.
    m_codec->pkt_timebase = stream->time_base;
    return avcodec_open2(m_codec, m_codecType, nullptr) < 0 ? ERR_FORMAT : OK;
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
    // It goes to the first packet, not to time 0: in AAC and the like that
    // packet holds the encoder's priming, which is not heard but is what the
    // first audible samples are decoded against; the demuxer then marks it
    // to be skipped again. A fresh decoder makes the first pass's samples
    // again, where a flushed AAC decoder did not.
    if (m_format != nullptr && m_codec != nullptr && m_startKnown && seekStart() && openCodec() == OK) {
        av_frame_unref(m_held);
        m_holding = false;
        m_inputEnded = false;
        m_drained = false;
        m_packetsEnd = AV_NOPTS_VALUE;
        m_checkStart = true;
        return true;
    }
    return openInput() == OK;
}

bool FfmpegDecoder::seekStart() {
    if (m_startDts != AV_NOPTS_VALUE) return av_seek_frame(m_format, m_stream, m_startDts, AVSEEK_FLAG_BACKWARD) >= 0;
    // Packets without timestamps: time 0, checked by the packet's place.
    return avformat_seek_file(m_format, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BACKWARD) >= 0;
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
        // Mono goes to both sides at its own level, as the other decoders
        // play it; the default mix would take the centre 3 dB down.
        const double monoToBoth[2] = {1.0, 1.0};
        if (swr_alloc_set_opts2(&m_swr, &stereo, AV_SAMPLE_FMT_FLT, m_outRate, &layout, (AVSampleFormat)frame->format,
                                frame->sample_rate, 0, nullptr) < 0 ||
            (layout.nb_channels == 1 && swr_set_matrix(m_swr, monoToBoth, 1) < 0) || swr_init(m_swr) < 0) {
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

void FfmpegDecoder::trimPadding(AVFrame* frame) const {
    // The container declares how long its last packet is (an MP4 edit list
    // does); what the decoder makes beyond that is the encoder's padding.
    // Only a clock that counts samples says so: one that counts
    // milliseconds would cut real samples.
    const AVRational clock = m_format->streams[m_stream]->time_base;
    if (m_packetsEnd == AV_NOPTS_VALUE || frame->pts == AV_NOPTS_VALUE || frame->sample_rate <= 0 ||
        (std::int64_t)clock.den < (std::int64_t)clock.num * frame->sample_rate) {
        return;
    }
    std::int64_t keep = av_rescale_q(m_packetsEnd - frame->pts, clock, AVRational{1, frame->sample_rate});
    if (keep > 0 && keep < frame->nb_samples) frame->nb_samples = (int)keep;
}

// Cuts `frame` at the song's end; true if it lies wholly past it.
bool FfmpegDecoder::pastSongEnd(AVFrame* frame) const {
    if (m_songEnd == AV_NOPTS_VALUE || frame->pts == AV_NOPTS_VALUE || frame->sample_rate <= 0) return false;
    const AVRational clock = m_format->streams[m_stream]->time_base;
    std::int64_t keep = av_rescale_q(m_songEnd - frame->pts, clock, AVRational{1, frame->sample_rate});
    if (keep <= 0) return true;
    if (keep < frame->nb_samples) frame->nb_samples = (int)keep;
    return false;
}

bool FfmpegDecoder::readPacket() {
    for (;;) {
        int rc = av_read_frame(m_format, m_packet);
        if (rc < 0) return false;
        if (m_packet->stream_index == m_stream) break;
        av_packet_unref(m_packet);
    }
    std::int64_t dts = m_packet->dts != AV_NOPTS_VALUE ? m_packet->dts : m_packet->pts;
    if (!m_startKnown) {
        m_startKnown = true;
        m_startPos = m_packet->pos;
        m_startDts = dts;
    } else if (m_checkStart && (m_packet->pos != m_startPos || dts != m_startDts)) {
        // The seek fell short of the first packet or past it: start over
        // from the file itself.
        av_packet_unref(m_packet);
        if (openInput() != OK) return false;
        return readPacket();
    }
    m_checkStart = false;
    m_packetsEnd =
        m_packet->pts != AV_NOPTS_VALUE && m_packet->duration > 0 ? m_packet->pts + m_packet->duration : AV_NOPTS_VALUE;
    return true;
}

bool FfmpegDecoder::decodeMore() {
    if (m_format == nullptr || m_codec == nullptr) return false;
    int bad = 0;
    for (;;) {
        int rc = avcodec_receive_frame(m_codec, m_frame);
        if (rc == 0) {
            if (pastSongEnd(m_frame)) {
                av_frame_unref(m_frame);
                // The rest of the input is past it too: end as at the file's end.
                if (!m_inputEnded) {
                    m_inputEnded = true;
                    avcodec_send_packet(m_codec, nullptr);
                }
                continue;
            }
            if (!m_holding) {
                av_frame_move_ref(m_held, m_frame);
                m_holding = true;
                continue;
            }
            bool ok = convert(m_held);
            av_frame_unref(m_held);
            av_frame_move_ref(m_held, m_frame);
            if (ok) return true;
            if (++bad > kMaxBadPackets) return false;
            continue;
        }
        if (rc == AVERROR_EOF) {
            if (!m_holding) return false;
            m_holding = false;
            trimPadding(m_held);
            bool ok = convert(m_held);
            av_frame_unref(m_held);
            return ok;
        }
        if (rc != AVERROR(EAGAIN)) {
            // A broken decoder state: start it over on the next packet.
            avcodec_flush_buffers(m_codec);
            if (++bad > kMaxBadPackets) return false;
        }
        if (m_inputEnded) return false;

        if (!readPacket()) {
            // End of file, or a read error: either way the file ends here,
            // after the decoder gives up what it still holds.
            m_inputEnded = true;
            avcodec_send_packet(m_codec, nullptr);
            continue;
        }
        rc = avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
        if (rc < 0 && rc != AVERROR(EAGAIN) && ++bad > kMaxBadPackets) return false;
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

std::uint64_t lengthFfmpeg(void* handle) { return static_cast<FfmpegDecoder*>(handle)->durationUs(); }

void closeFfmpeg(void* handle) { delete static_cast<FfmpegDecoder*>(handle); }

const DecoderFuncs kFfmpeg = {"ffmpeg", openFfmpeg, readFfmpeg, rewindFfmpeg, lengthFfmpeg, closeFfmpeg, nullptr};

}  // namespace
}  // namespace ostaudio

extern "C" __attribute__((visibility("default"))) const ostaudio::DecoderFuncs* ostaudio_decoder_module(
    unsigned version) {
    return version == ostaudio::kDecoderModuleVersion ? &ostaudio::kFfmpeg : nullptr;
}
