#include "playback/ot_musictag.h"

#include <unistd.h>

#include <cstring>
#include <cwchar>
#include <fstream>
#include <istream>
#include <string>

#include "platform/win32/text.h"
#include "playback/ot_unsyncbuf.h"

namespace {

constexpr std::uint64_t kHeaderSize = 10;
constexpr UINT kCpGbk = 936;
constexpr UINT kCpLatin1 = 28591;
// Enough of a frame for 63 characters in any encoding: the encoding byte, a
// byte-order mark and four bytes a character, with room to spare.
constexpr std::size_t kFrameBytes = 512;
// The data length indicator some 2.4 frames carry ahead of their data.
constexpr std::size_t kDataLengthBytes = 4;
// 63 characters of code page 936 take at most two bytes each.
constexpr std::size_t kGbkBytes = 2 * (OstMusicTag::kTextChars + 1);

constexpr const wchar_t* kDefaultCover = L"covers/no_cover.jpg";

void CopyText(WCHAR* dst, std::size_t capacity, const wchar_t* src, std::size_t len) {
    if (len > capacity - 1) len = capacity - 1;
    std::wmemcpy(dst, src, len);
    dst[len] = L'\0';
}

template <std::size_t N>
void CopyText(WCHAR (&dst)[N], const wchar_t* src) {
    CopyText(dst, N, src, std::wcslen(src));
}

template <std::size_t N>
void CopyText(WCHAR (&dst)[N], const std::wstring& src) {
    CopyText(dst, N, src.data(), src.size());
}

std::uint64_t Synchsafe(const unsigned char* b) {
    return (std::uint64_t{b[0]} << 21) + (std::uint64_t{b[1]} << 14) + (std::uint64_t{b[2]} << 7) + b[3];
}

std::uint64_t BigEndian(const unsigned char* b) {
    return (std::uint64_t{b[0]} << 24) | (std::uint64_t{b[1]} << 16) | (std::uint64_t{b[2]} << 8) | b[3];
}

bool ReadExact(std::istream& stream, unsigned char* buf, std::size_t n) {
    stream.read(reinterpret_cast<char*>(buf), static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(stream.gcount()) == n;
}

bool ToWide(UINT codePage, DWORD flags, const unsigned char* s, std::size_t n, std::wstring& out) {
    out.clear();
    if (n == 0) return true;
    const auto* text = reinterpret_cast<const char*>(s);
    const int len = static_cast<int>(n);
    const int count = MultiByteToWideChar(codePage, flags, text, len, nullptr, 0);
    if (count <= 0) return false;
    out.resize(static_cast<std::size_t>(count));
    return MultiByteToWideChar(codePage, flags, text, len, out.data(), count) == count;
}

// Narrow text of the legacy encoding: code page 936, as the files in the wild
// were written, and ISO-8859-1 when the bytes are not valid 936. A text cut
// short (by the file or by the bytes taken) may end inside a double-byte
// character, so one byte less is tried before giving up on 936.
std::wstring DecodeLegacy(const unsigned char* s, std::size_t n, bool cut) {
    if (n > kGbkBytes) {
        n = kGbkBytes;
        cut = true;
    }
    std::wstring out;
    if (ToWide(kCpGbk, MB_ERR_INVALID_CHARS, s, n, out)) return out;
    if (cut && n > 1 && ToWide(kCpGbk, MB_ERR_INVALID_CHARS, s, n - 1, out)) return out;
    ToWide(kCpLatin1, 0, s, n, out);
    return out;
}

std::wstring DecodeUtf16(const unsigned char* s, std::size_t n, bool bigEndian) {
    std::wstring out;
    for (std::size_t i = 0; i + 1 < n && out.size() < OstMusicTag::kTextChars; i += 2) {
        const unsigned unit = bigEndian ? (s[i] << 8 | s[i + 1]) : (s[i + 1] << 8 | s[i]);
        if (unit == 0) break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < n) {
            const unsigned low = bigEndian ? (s[i + 2] << 8 | s[i + 3]) : (s[i + 3] << 8 | s[i + 2]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF)
            out.push_back(L'\xFFFD');
        else
            out.push_back(static_cast<wchar_t>(unit));
    }
    return out;
}

// The text of a text frame: s holds the frame's first n bytes, and cut tells
// whether the frame went on beyond them. Only the first string counts.
std::wstring DecodeFrameText(const unsigned char* s, std::size_t n, bool cut) {
    if (n == 0) return {};
    const unsigned encoding = s[0];
    if (encoding == 1 || encoding == 2) {
        const unsigned char* p = s + 1;
        std::size_t len = n - 1;
        // Encoding 1 carries a byte-order mark; without one, and for
        // encoding 2, the units are big-endian.
        bool bigEndian = true;
        if (len >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
            bigEndian = p[0] == 0xFE;
            p += 2;
            len -= 2;
        }
        return DecodeUtf16(p, len, bigEndian);
    }

    // The single-byte-unit encodings end at the first zero byte.
    const unsigned char* p = encoding == 0 || encoding == 3 ? s + 1 : s;
    std::size_t len = n - static_cast<std::size_t>(p - s);
    if (const void* zero = std::memchr(p, 0, len)) {
        len = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - p);
        cut = false;
    }
    if (encoding == 3) {
        if (len >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
            p += 3;
            len -= 3;
        }
        std::wstring out;
        ToWide(CP_UTF8, 0, p, len, out);
        return out;
    }
    // Encoding 0, and unknown encodings with their first byte taken as text.
    return DecodeLegacy(p, len, cut);
}

bool IsFrameIdByte(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// True if a frame ending at `at` (counted from the first byte after the tag
// header, which lies at `origin` in the stream) is followed by what may
// follow a frame: the tag's end, another frame's header, or padding, zeros
// up to the tag's end (or the file's).
bool LandsWell(std::istream& stream, std::uint64_t origin, std::uint64_t at, std::uint64_t bound) {
    if (at == bound) return true;
    if (at > bound) return false;
    stream.clear();
    if (!stream.seekg(static_cast<std::streamoff>(origin + at))) return false;
    unsigned char id[4] = {};
    stream.read(reinterpret_cast<char*>(id), sizeof id);
    const auto got = static_cast<std::size_t>(stream.gcount());
    if (got == sizeof id && IsFrameIdByte(id[0]) && IsFrameIdByte(id[1]) && IsFrameIdByte(id[2]) &&
        IsFrameIdByte(id[3]))
        return true;
    for (std::size_t i = 0; i < got; ++i) {
        if (id[i] != 0) return false;
    }
    if (got < sizeof id) return got > 0;
    unsigned char block[4096];
    for (std::uint64_t left = bound - at - sizeof id; left > 0;) {
        const std::size_t want = left < sizeof block ? static_cast<std::size_t>(left) : sizeof block;
        stream.read(reinterpret_cast<char*>(block), static_cast<std::streamsize>(want));
        const auto n = static_cast<std::size_t>(stream.gcount());
        for (std::size_t i = 0; i < n; ++i) {
            if (block[i] != 0) return false;
        }
        if (n < want) break;
        left -= n;
    }
    return true;
}

}  // namespace

OstMusicTag::OstMusicTag() {
    CopyText(m_szTitle, kStartup.pwszTitle);
    CopyText(m_szAlbum, kStartup.pwszAlbum);
    CopyText(m_szArtist, kStartup.pwszArtist);
    CopyText(m_szCover, kDefaultCover);
    std::wmemset(m_szPath, L'\0', MAX_PATH);
}

OstMusicTag::~OstMusicTag() = default;

void OstMusicTag::ResetInfo() {
    CopyText(m_szTitle, kReset.pwszTitle);
    CopyText(m_szAlbum, kReset.pwszAlbum);
    CopyText(m_szArtist, kReset.pwszArtist);
    CopyText(m_szCover, kDefaultCover);
    std::wmemset(m_szPath, L'\0', MAX_PATH);
}

void OstMusicTag::Read(LPCWSTR pwszPath) {
    ResetInfo();
    if (pwszPath == nullptr) return;
    CopyText(m_szPath, pwszPath);

    // The file system's own bytes, so every existing file opens.
    const int cb = WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, pwszPath, -1, nullptr, 0, nullptr, nullptr);
    if (cb <= 1) return;
    std::string path(static_cast<std::size_t>(cb), '\0');
    if (WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, pwszPath, -1, path.data(), cb, nullptr, nullptr) != cb)
        return;
    path.resize(static_cast<std::size_t>(cb - 1));

    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) return;
    if (HasId3Header(file)) ReadFrames(file);
}

bool OstMusicTag::HasId3Header(std::istream& stream) {
    stream.clear();
    if (!stream.seekg(0)) return false;
    unsigned char magic[3] = {};
    return ReadExact(stream, magic, sizeof magic) && std::memcmp(magic, "ID3", 3) == 0;
}

void OstMusicTag::ReadFrames(std::istream& stream) {
    stream.clear();
    if (!stream.seekg(0)) return;
    unsigned char header[kHeaderSize] = {};
    if (!ReadExact(stream, header, kHeaderSize)) return;
    const std::uint64_t tagSize = Synchsafe(header + 6);
    if (tagSize < kHeaderSize) return;  // no room for a single frame

    // A 2.3 tag is unsynchronised whole, extended header and frame headers
    // included, and its sizes count the bytes as they were before: the walk
    // goes over the bytes with the inserted zeros taken out. (2.4 marks each
    // frame instead; see WalkFrames.)
    if (header[3] == 3 && (header[5] & 0x80) != 0) {
        OstUnsyncBuf restored(stream, kHeaderSize, kHeaderSize + tagSize);
        std::istream body(&restored);
        WalkFrames(body, 0, header);
        return;
    }
    WalkFrames(stream, kHeaderSize, header);
}

void OstMusicTag::WalkFrames(std::istream& stream, std::uint64_t origin, const unsigned char* header) {
    const unsigned major = header[3];
    const bool tagUnsynchronised = (header[5] & 0x80) != 0;
    const std::uint64_t bound = Synchsafe(header + 6) - kHeaderSize;

    stream.clear();
    if (!stream.seekg(static_cast<std::streamoff>(origin))) return;
    // R: offset from the first byte after the tag header.
    std::uint64_t pos = 0;
    if ((header[5] & 0x40) != 0 && (major == 3 || major == 4)) {
        // The extended header's size counts itself in 2.4 but not in 2.3.
        // A size no extended header has means a stray flag: the frames
        // start right after the tag header.
        unsigned char ext[4] = {};
        if (!ReadExact(stream, ext, sizeof ext)) return;
        const std::uint64_t extSize = major == 4 ? Synchsafe(ext) : BigEndian(ext);
        if (major == 3 && (extSize == 6 || extSize == 10))
            pos = 4 + extSize;
        else if (major == 4 && extSize >= 6 && extSize <= bound)
            pos = extSize;
    }

    // Room for the data length indicator and, unsynchronised, for twice
    // the bytes kept.
    unsigned char frame[kDataLengthBytes + 2 * kFrameBytes];
    while (pos < bound) {
        unsigned char fh[kHeaderSize] = {};
        if (!stream.seekg(static_cast<std::streamoff>(origin + pos)) || !ReadExact(stream, fh, kHeaderSize))
            return;  // past the end of the file: nothing more to find
        pos += kHeaderSize;
        std::uint64_t size = major == 4 ? Synchsafe(fh + 4) : BigEndian(fh + 4);
        if (major == 4) {
            // Some taggers write 2.4 sizes as plain integers: take the plain
            // reading only where the synchsafe one lands amid a frame's data
            // and the plain one does not.
            const std::uint64_t plain = BigEndian(fh + 4);
            if (plain != size && !LandsWell(stream, origin, pos + size, bound) &&
                LandsWell(stream, origin, pos + plain, bound))
                size = plain;
            stream.clear();
            if (!stream.seekg(static_cast<std::streamoff>(origin + pos))) return;
        }

        WCHAR* field = nullptr;
        if ((fh[8] & 0x80) == 0) {
            if (std::memcmp(fh, "TIT2", 4) == 0)
                field = m_szTitle;
            else if (std::memcmp(fh, "TPE1", 4) == 0)
                field = m_szArtist;
            else if (std::memcmp(fh, "TALB", 4) == 0)
                field = m_szAlbum;
        }
        if (field != nullptr) {
            // A 2.4 frame may carry its data length ahead of the data, and
            // may be unsynchronised on its own (or with the whole tag).
            const bool unsynchronised = major == 4 && (tagUnsynchronised || (fh[9] & 0x02) != 0);
            const std::size_t skip = major == 4 && (fh[9] & 0x01) != 0 ? kDataLengthBytes : 0;
            const std::size_t room = skip + (unsynchronised ? 2 * kFrameBytes : kFrameBytes);
            const std::size_t want = size < room ? static_cast<std::size_t>(size) : room;
            stream.read(reinterpret_cast<char*>(frame), static_cast<std::streamsize>(want));
            const auto got = static_cast<std::size_t>(stream.gcount());
            unsigned char* data = frame + (got < skip ? got : skip);
            std::size_t n = got - static_cast<std::size_t>(data - frame);
            bool cut = got < size;
            if (unsynchronised) {
                bool afterFF = false;
                n = RemoveUnsyncZeros(data, n, afterFF);
            }
            if (n > kFrameBytes) {
                n = kFrameBytes;
                cut = true;
            }
            const std::wstring text = DecodeFrameText(data, n, cut);
            CopyText(field, kTextChars, text.data(), text.size());
        }
        pos += size;
    }
}

void OstMusicTag::FindCover() {
    std::wstring cover = L"covers/";
    cover += m_szArtist;
    cover += L" - ";
    cover += m_szTitle;
    cover += L".jpg";
    if (cover.size() >= MAX_PATH) return;

    const int cb = WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, cover.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (cb <= 1) return;
    std::string path(static_cast<std::size_t>(cb), '\0');
    if (WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, cover.c_str(), -1, path.data(), cb, nullptr, nullptr) != cb)
        return;
    if (::access(path.c_str(), F_OK) == 0) CopyText(m_szCover, cover);
}
