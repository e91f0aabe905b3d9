// MultiByteToWideChar and WideCharToMultiByte over UTF-8, ISO-8859-1 (by hand)
// and code page 936 (through glibc's iconv, never through a process locale).
#include "platform/win32/text.h"

#include <iconv.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "platform/win32/user.h"

static_assert(sizeof(wchar_t) == 4, "wide text is UTF-32 on this platform");

namespace {

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

constexpr wchar_t kReplacement = 0xFFFD;
// A file name's byte that is not UTF-8 travels as the lone surrogate
// U+DC80..U+DCFF and converts back to that byte, so every name on disk has a
// wide form that opens the same file.
constexpr std::uint32_t kEscapeBase = 0xDC00;
constexpr UINT kCpGbk = 936;
constexpr UINT kCpLatin1 = 28591;

enum class Page { Utf8, FileSystem, Gbk, Latin1, Unknown };

Page PageOf(UINT codePage) {
    switch (codePage) {
    case CP_ACP: return Page::FileSystem;
    case CP_UTF8: return Page::Utf8;
    case kCpGbk: return Page::Gbk;
    case kCpLatin1: return Page::Latin1;
    default: return Page::Unknown;
    }
}

bool IsScalar(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    return u <= 0x10FFFF && (u < 0xD800 || u > 0xDFFF);
}

// One pair of iconv descriptors per thread, opened on first use: a descriptor
// carries shift state and must not be shared between threads.
class GbkConverters {
public:
    GbkConverters() = default;
    GbkConverters(const GbkConverters&) = delete;
    GbkConverters& operator=(const GbkConverters&) = delete;
    ~GbkConverters() {
        if (m_hToWide != kNone) iconv_close(m_hToWide);
        if (m_hFromWide != kNone) iconv_close(m_hFromWide);
    }

    iconv_t ToWide() { return Get(m_hToWide, "WCHAR_T", true); }
    iconv_t FromWide() { return Get(m_hFromWide, "WCHAR_T", false); }

    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

private:
    static iconv_t Get(iconv_t& cd, const char* wide, bool toWide) {
        if (cd == kNone) {
            for (const char* name : {"CP936", "GBK"}) {
                cd = toWide ? iconv_open(wide, name) : iconv_open(name, wide);
                if (cd != kNone) break;
            }
        }
        if (cd != kNone) iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return cd;
    }

    iconv_t m_hToWide = kNone;
    iconv_t m_hFromWide = kNone;
};

thread_local GbkConverters t_gbk;

bool IsEscapedByte(std::uint32_t u) { return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF; }

enum class Invalid { Replace, Fail, Escape };

bool DecodeUtf8(const unsigned char* s, size_t n, Invalid invalid, std::wstring& out) {
    const bool strict = invalid == Invalid::Fail;
    size_t i = 0;
    while (i < n) {
        const unsigned lead = s[i];
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        size_t need;
        std::uint32_t cp;
        unsigned lo = 0x80, hi = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            cp = lead & 0x0F;
            if (lead == 0xE0) lo = 0xA0;  // no overlong forms
            if (lead == 0xED) hi = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            cp = lead & 0x07;
            if (lead == 0xF0) lo = 0x90;
            if (lead == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
        } else {
            if (strict) return false;
            out.push_back(invalid == Invalid::Escape ? static_cast<wchar_t>(kEscapeBase + lead) : kReplacement);
            ++i;
            continue;
        }
        size_t k = 1;
        for (; k <= need && i + k < n; ++k) {
            const unsigned c = s[i + k];
            if (c < lo || c > hi) break;
            lo = 0x80;
            hi = 0xBF;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (k <= need) {
            // One replacement for the longest valid start of a sequence.
            if (strict) return false;
            if (invalid == Invalid::Escape) {
                // Byte by byte: the bytes after the lead are taken up again
                // on their own, so each comes back as itself.
                out.push_back(static_cast<wchar_t>(kEscapeBase + lead));
                ++i;
                continue;
            }
            out.push_back(kReplacement);
            i += k;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += need + 1;
    }
    return true;
}

bool DecodeGbk(const char* s, size_t n, bool strict, std::wstring& out) {
    iconv_t cd = t_gbk.ToWide();
    if (cd == GbkConverters::kNone) return false;
    // Every character takes at least one byte, so n wide characters suffice.
    std::wstring buf(n, L'\0');
    char* in = const_cast<char*>(s);
    size_t inLeft = n;
    char* outp = reinterpret_cast<char*>(buf.data());
    size_t outLeft = n * sizeof(wchar_t);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) return false;
        if (strict) return false;
        // An invalid or cut-off sequence: replace its first byte and go on.
        if (outLeft < sizeof(wchar_t)) return false;
        const wchar_t q = L'?';
        std::memcpy(outp, &q, sizeof q);
        outp += sizeof q;
        outLeft -= sizeof q;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    buf.resize(buf.size() - outLeft / sizeof(wchar_t));
    out += buf;
    return true;
}

void EncodeUtf8(std::uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool EncodeGbk(const wchar_t* s, size_t n, char defaultChar, std::string& out, bool& usedDefault) {
    iconv_t cd = t_gbk.FromWide();
    if (cd == GbkConverters::kNone) return false;
    std::string buf(n * 2 + 4, '\0');  // two bytes per character at most
    char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(s));
    size_t inLeft = n * sizeof(wchar_t);
    char* outp = buf.data();
    size_t outLeft = buf.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            const size_t used = buf.size() - outLeft;
            buf.resize(buf.size() * 2);
            outp = buf.data() + used;
            outLeft = buf.size() - used;
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL) return false;
        // A character 936 lacks: the default character stands in for it.
        if (outLeft < 1) {
            const size_t used = buf.size() - outLeft;
            buf.resize(buf.size() * 2);
            outp = buf.data() + used;
            outLeft = buf.size() - used;
        }
        *outp++ = defaultChar;
        --outLeft;
        usedDefault = true;
        const size_t skip = inLeft < sizeof(wchar_t) ? inLeft : sizeof(wchar_t);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    buf.resize(buf.size() - outLeft);
    out += buf;
    return true;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte, LPWSTR wide, int cchWide) {
    const Page page = PageOf(codePage);
    if (page == Page::Unknown || multiByte == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWide < 0 ||
        (cchWide > 0 && wide == nullptr))
        return Fail(ERROR_INVALID_PARAMETER);
    if ((flags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) != 0) return Fail(ERROR_INVALID_FLAGS);
    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    const size_t n = cbMultiByte == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(cbMultiByte);

    std::wstring out;
    out.reserve(n);
    switch (page) {
    case Page::Utf8:
    case Page::FileSystem: {
        // A file name is bytes: nothing in it is invalid, whatever the flags.
        const Invalid invalid = page == Page::FileSystem ? Invalid::Escape : strict ? Invalid::Fail : Invalid::Replace;
        if (!DecodeUtf8(reinterpret_cast<const unsigned char*>(multiByte), n, invalid, out))
            return Fail(ERROR_NO_UNICODE_TRANSLATION);
        break;
    }
    case Page::Gbk:
        if (!DecodeGbk(multiByte, n, strict, out))
            return Fail(strict ? ERROR_NO_UNICODE_TRANSLATION : ERROR_INVALID_PARAMETER);
        break;
    case Page::Latin1:
        for (size_t i = 0; i < n; ++i) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(multiByte[i])));
        break;
    case Page::Unknown: return Fail(ERROR_INVALID_PARAMETER);
    }

    if (out.size() > static_cast<size_t>(INT_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    const int count = static_cast<int>(out.size());
    if (cchWide == 0) return count;
    if (count > cchWide) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(wide, out.data(), out.size() * sizeof(wchar_t));
    return count;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWide, LPSTR multiByte, int cbMultiByte,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    const Page page = PageOf(codePage);
    if (page == Page::Unknown || wide == nullptr || cchWide == 0 || cchWide < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && multiByte == nullptr))
        return Fail(ERROR_INVALID_PARAMETER);
    if (page == Page::Utf8 || page == Page::FileSystem) {
        // UTF-8 has no default character: both arguments must be null.
        if (defaultChar != nullptr || usedDefaultChar != nullptr) return Fail(ERROR_INVALID_PARAMETER);
        if ((flags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0) return Fail(ERROR_INVALID_FLAGS);
    } else if ((flags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) != 0) {
        return Fail(ERROR_INVALID_FLAGS);
    }
    const size_t n = cchWide == -1 ? std::wcslen(wide) + 1 : static_cast<size_t>(cchWide);
    const char fallback = (defaultChar != nullptr && *defaultChar != '\0') ? *defaultChar : '?';
    bool usedDefault = false;

    std::string out;
    out.reserve(n);
    switch (page) {
    case Page::Utf8:
    case Page::FileSystem:
        for (size_t i = 0; i < n; ++i) {
            const auto u = static_cast<std::uint32_t>(wide[i]);
            if (page == Page::FileSystem && IsEscapedByte(u)) {
                out.push_back(static_cast<char>(u - kEscapeBase));
                continue;
            }
            if (!IsScalar(wide[i])) {
                if ((flags & WC_ERR_INVALID_CHARS) != 0) return Fail(ERROR_NO_UNICODE_TRANSLATION);
                EncodeUtf8(kReplacement, out);
                continue;
            }
            EncodeUtf8(u, out);
        }
        break;
    case Page::Gbk:
        if (!EncodeGbk(wide, n, fallback, out, usedDefault)) return Fail(ERROR_INVALID_PARAMETER);
        break;
    case Page::Latin1:
        for (size_t i = 0; i < n; ++i) {
            const auto u = static_cast<std::uint32_t>(wide[i]);
            if (u > 0xFF) {
                out.push_back(fallback);
                usedDefault = true;
            } else {
                out.push_back(static_cast<char>(u));
            }
        }
        break;
    case Page::Unknown: return Fail(ERROR_INVALID_PARAMETER);
    }

    if (out.size() > static_cast<size_t>(INT_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    const int count = static_cast<int>(out.size());
    if (cbMultiByte == 0) {
        if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
        return count;
    }
    if (count > cbMultiByte) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(multiByte, out.data(), out.size());
    if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
    return count;
}
