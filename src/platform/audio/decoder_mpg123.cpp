// libmpg123: MPEG audio layers I-III, gapless. Only files that start with
// MPEG frames (after an ID3v2 tag) come here, since libmpg123 would resync
// its way through almost any bytes, and never one that starts as another
// container does.
#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// Whether `p` starts as another container does: what follows is that
// container's to read, and MPEG sync words found in it (a WAV's samples
// may hold some by chance) mean nothing.
bool otherContainer(const unsigned char* p, ssize_t n) {
    auto at = [&](ssize_t offset, const char* magic) {
        const ssize_t len = (ssize_t)std::strlen(magic);
        return n >= offset + len && std::memcmp(p + offset, magic, (std::size_t)len) == 0;
    };
    static const char* const kMagic[] = {
        "RIFF",
        "RIFX",
        "RF64",
        "FORM",
        "fLaC",
        "OggS",
        ".snd",
        "caf ",
        "wvpk",
        "MAC ",
        "TTA1",
        "MPCK",
        "MP+",
        "#!AMR",
        "\x30\x26\xB2\x75",
        "\x1A\x45\xDF\xA3",
        "IMPM",
        "Extended Module:",
        "MThd",
    };
    for (const char* magic : kMagic) {
        if (at(0, magic)) return true;
    }
    // MP4, S3M and MOD name themselves further in.
    return at(4, "ftyp") || at(44, "SCRM") || at(1080, "M.K.");
}

// True if two consecutive MPEG frames start near the beginning of the file;
// `audioStart` is where the ID3v2 tag ends, if there is one.
bool looksLikeMpeg(const char* path, off_t* audioStart) {
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
    *audioStart = start;
    ssize_t got = ::pread(fd, buf, sizeof buf, start);
    ::close(fd);
    if (got < 4 || otherContainer(buf, got)) return false;
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
        m_lengthUs = samples > 0 && rate > 0 ? (std::uint64_t)samples * 1000000 / (std::uint64_t)rate : 0;
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

    std::uint64_t lengthUs() const override { return m_lengthUs; }

private:
    mpg123_handle* m_handle;
    int m_rate = 0;
    std::uint64_t m_lengthUs = 0;
    bool m_failed = false;
};

// A handle set up as every decode of ours is, so that a scan counts what a
// decode gives; null if memory ran out.
mpg123_handle* newHandle() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (handle == nullptr) return nullptr;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_FORCE_STEREO | MPG123_QUIET | MPG123_GAPLESS,
                 0.0);
    mpg123_param(handle, MPG123_RESYNC_LIMIT, kResyncLimit, 0.0);
    // Float stereo at the file's own rate, whatever it is.
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i) mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_FLOAT_32);
    return handle;
}

std::unique_ptr<NativeSource> openSource(const char* path, Result* result) {
    *result = ERR_FORMAT;
    off_t audioStart = 0;
    if (!looksLikeMpeg(path, &audioStart)) return nullptr;
    mpg123_handle* handle = newHandle();
    if (handle == nullptr) {
        *result = ERR_MEMORY;
        return nullptr;
    }
    auto* source = new (std::nothrow) Mpg123Source(handle);
    if (source == nullptr) {
        mpg123_delete(handle);
        *result = ERR_MEMORY;
        return nullptr;
    }
    std::unique_ptr<NativeSource> owned(source);
    if (mpg123_open(handle, path) != MPG123_OK) {
        *result = ERR_FILE_BAD;
        return nullptr;
    }
    // Without a header that counts the frames, libmpg123 estimates the
    // length from the file's size: a large tag is no audio.
    struct stat st;
    if (audioStart > 0 && ::stat(path, &st) == 0 && st.st_size > audioStart) {
        mpg123_set_filesize(handle, st.st_size - audioStart);
    }
    if (!source->start()) {
        *result = ERR_FILE_BAD;
        return nullptr;
    }
    return owned;
}

// The file as the scan reads it: buffered, since libmpg123 asks for each
// frame's header and body apart, and giving up once told to.
struct ScanReader {
    static constexpr std::size_t kBufferBytes = 1 << 16;
    int fd = -1;
    const std::atomic<bool>* cancel = nullptr;
    off_t bufferAt = 0;  // file offset of buffer[0]
    std::size_t filled = 0;
    std::size_t used = 0;
    unsigned char buffer[kBufferBytes];

    static mpg123_ssize_t read(void* self, void* out, std::size_t bytes) {
        auto& r = *static_cast<ScanReader*>(self);
        if (r.cancel->load(std::memory_order_relaxed)) return -1;
        std::size_t done = 0;
        while (done < bytes) {
            if (r.used == r.filled) {
                ssize_t got = ::pread(r.fd, r.buffer, kBufferBytes, r.bufferAt + (off_t)r.filled);
                if (got < 0) return -1;
                if (got == 0) break;
                r.bufferAt += (off_t)r.filled;
                r.filled = (std::size_t)got;
                r.used = 0;
            }
            std::size_t n = std::min(bytes - done, r.filled - r.used);
            std::memcpy(static_cast<unsigned char*>(out) + done, r.buffer + r.used, n);
            r.used += n;
            done += n;
        }
        return (mpg123_ssize_t)done;
    }

    static off_t seek(void* self, off_t offset, int whence) {
        auto& r = *static_cast<ScanReader*>(self);
        off_t at = r.bufferAt + (off_t)r.used;
        if (whence == SEEK_CUR) {
            offset += at;
        } else if (whence == SEEK_END) {
            struct stat st;
            if (::fstat(r.fd, &st) != 0) return -1;
            offset += st.st_size;
        } else if (whence != SEEK_SET) {
            return -1;
        }
        if (offset < 0) return -1;
        if (offset >= r.bufferAt && offset <= r.bufferAt + (off_t)r.filled) {
            r.used = (std::size_t)(offset - r.bufferAt);
        } else {
            r.bufferAt = offset;
            r.filled = 0;
            r.used = 0;
        }
        return offset;
    }
};

std::uint64_t scanMpg123(const char* path, const std::atomic<bool>* cancel) {
    auto reader = std::make_unique<ScanReader>();
    reader->cancel = cancel;
    reader->fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (reader->fd < 0) return 0;
    std::uint64_t lengthUs = 0;
    mpg123_handle* handle = newHandle();
    if (handle != nullptr &&
        mpg123_replace_reader_handle(handle, ScanReader::read, ScanReader::seek, nullptr) == MPG123_OK &&
        mpg123_open_handle(handle, reader.get()) == MPG123_OK && mpg123_scan(handle) == MPG123_OK) {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        off_t samples = mpg123_length(handle);
        if (mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK && rate > 0 && samples > 0) {
            lengthUs = (std::uint64_t)samples * 1000000 / (std::uint64_t)rate;
        }
    }
    mpg123_delete(handle);
    ::close(reader->fd);
    return cancel->load(std::memory_order_relaxed) ? 0 : lengthUs;
}

Result openMpg123(const char* path, int outRate, void** handle) {
    return openNative(openSource, path, outRate, handle);
}

const DecoderFuncs kMpg123 = {"mpg123", openMpg123, readNative, rewindNative, lengthNative, closeNative, scanMpg123};

}  // namespace

const DecoderFuncs& mpg123Decoder() { return kMpg123; }

}  // namespace ostaudio
