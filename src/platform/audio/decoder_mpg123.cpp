// libmpg123: MPEG audio layers I-III, gapless. Only files that start with
// MPEG frames (after an ID3v2 tag) come here, since libmpg123 would resync
// its way through almost any bytes.
#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <new>

#include "platform/audio/native_decoder.h"

namespace ostaudio {

namespace {

// How far past the tag the first frame may start.
constexpr int kSyncWindow = 4096;
// Room for the frame that follows it.
constexpr int kMaxFrameBytes = 4096;
// Bytes libmpg123 may skip to get past damage.
constexpr long kResyncLimit = 16384;

struct FrameHeader {
    int version;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer;    // 1..3
    int rate;
    int bytes;
};

bool parseHeader(const unsigned char* p, FrameHeader* h) {
    static const int kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    };
    static const int kRates[3] = {44100, 48000, 32000};
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    int version = (p[1] >> 3) & 3;
    int layerBits = (p[1] >> 1) & 3;
    int bitrateIndex = p[2] >> 4;
    int rateIndex = (p[2] >> 2) & 3;
    // Free-format and reserved values are left to the other decoders.
    if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
    h->version = version;
    h->layer = 4 - layerBits;
    h->rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    int kbps = kBitrates[version == 3 ? 0 : 1][h->layer - 1][bitrateIndex];
    int padding = (p[2] >> 1) & 1;
    if (h->layer == 1) {
        h->bytes = (12 * kbps * 1000 / h->rate + padding) * 4;
    } else if (h->layer == 3 && version != 3) {
        h->bytes = 72 * kbps * 1000 / h->rate + padding;
    } else {
        h->bytes = 144 * kbps * 1000 / h->rate + padding;
    }
    return true;
}

// True if two consecutive MPEG frames start near the beginning of the file.
bool looksLikeMpeg(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char buf[kSyncWindow + kMaxFrameBytes];
    off_t start = 0;
    unsigned char tag[10];
    if (::pread(fd, tag, sizeof tag, 0) == (ssize_t)sizeof tag && std::memcmp(tag, "ID3", 3) == 0) {
        start =
            10 + (((off_t)(tag[6] & 0x7F) << 21) | ((tag[7] & 0x7F) << 14) | ((tag[8] & 0x7F) << 7) | (tag[9] & 0x7F));
        if (tag[5] & 0x10) start += 10;  // a footer
    }
    ssize_t got = ::pread(fd, buf, sizeof buf, start);
    ::close(fd);
    if (got < 4) return false;
    for (ssize_t i = 0; i + 4 <= got && i < kSyncWindow; ++i) {
        FrameHeader first;
        FrameHeader second;
        if (!parseHeader(buf + i, &first)) continue;
        ssize_t next = i + first.bytes;
        // A file of a single frame has nothing after it to check against.
        if (next == got) return true;
        if (next + 4 <= got && parseHeader(buf + next, &second) && second.version == first.version &&
            second.layer == first.layer && second.rate == first.rate) {
            return true;
        }
    }
    return false;
}

class Mpg123Source final : public NativeSource {
public:
    explicit Mpg123Source(mpg123_handle* handle) : m_handle(handle) {}
    ~Mpg123Source() override { mpg123_delete(m_handle); }

    bool start() {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK) return false;
        m_rate = (int)rate;
        off_t samples = mpg123_length(m_handle);
        m_lengthMs = samples > 0 && rate > 0 ? (std::uint64_t)samples * 1000 / (std::uint64_t)rate : 0;
        return channels == 2 && encoding == MPG123_ENC_FLOAT_32;
    }

    int rate() const override { return m_rate; }

    int decode(float* out, int maxFrames) override {
        if (m_failed) return 0;
        unsigned char* dst = reinterpret_cast<unsigned char*>(out);
        const std::size_t want = (std::size_t)maxFrames * 2 * sizeof(float);
        // A format change hands back nothing; a few in a row mean damage.
        for (int tries = 0; tries < 8; ++tries) {
            std::size_t done = 0;
            int rc = mpg123_read(m_handle, dst, want, &done);
            if (rc == MPG123_NEW_FORMAT) {
                if (!start()) m_failed = true;
            } else if (rc != MPG123_OK) {
                // The end, or damage libmpg123 cannot get past.
                m_failed = true;
            }
            int frames = (int)(done / (2 * sizeof(float)));
            if (frames > 0 || m_failed) return frames;
        }
        m_failed = true;
        return 0;
    }

    bool seekStart() override {
        m_failed = mpg123_seek(m_handle, 0, SEEK_SET) < 0;
        return !m_failed;
    }

    std::uint64_t lengthMs() const override { return m_lengthMs; }

private:
    mpg123_handle* m_handle;
    int m_rate = 0;
    std::uint64_t m_lengthMs = 0;
    bool m_failed = false;
};

std::unique_ptr<NativeSource> openSource(const char* path, Result* result) {
    *result = ERR_FORMAT;
    if (!looksLikeMpeg(path)) return nullptr;
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (handle == nullptr) {
        *result = ERR_MEMORY;
        return nullptr;
    }
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_FORCE_STEREO | MPG123_QUIET | MPG123_GAPLESS,
                 0.0);
    mpg123_param(handle, MPG123_RESYNC_LIMIT, kResyncLimit, 0.0);
    // Float stereo at the file's own rate, whatever it is.
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i) mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_FLOAT_32);
    auto* source = new (std::nothrow) Mpg123Source(handle);
    if (source == nullptr) {
        mpg123_delete(handle);
        *result = ERR_MEMORY;
        return nullptr;
    }
    std::unique_ptr<NativeSource> owned(source);
    if (mpg123_open(handle, path) != MPG123_OK || !source->start()) {
        *result = ERR_FILE_BAD;
        return nullptr;
    }
    return owned;
}

Result openMpg123(const char* path, int outRate, void** handle) {
    return openNative(openSource, path, outRate, handle);
}

const DecoderFuncs kMpg123 = {"mpg123", openMpg123, readNative, rewindNative, lengthNative, closeNative};

}  // namespace

const DecoderFuncs& mpg123Decoder() { return kMpg123; }

}  // namespace ostaudio
