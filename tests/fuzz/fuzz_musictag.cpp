// Feeds arbitrary bytes to the tag reader as a whole file: it must neither
// crash, hang nor read outside the input, and the fields stay terminated.
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <istream>
#include <streambuf>

#include "platform/win32/user.h"
#include "playback/ot_musictag.h"

// The last error lives with the window layer, which this target leaves out.
void SetLastError(DWORD) {}

namespace {

// A read-only, seekable view of the input without copying it.
class ByteBuf : public std::streambuf {
public:
    ByteBuf(const std::uint8_t* data, std::size_t size) {
        char* p = const_cast<char*>(reinterpret_cast<const char*>(data));
        setg(p, p, p + size);
    }

protected:
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override {
        if ((which & std::ios_base::in) == 0) return pos_type(off_type(-1));
        const off_type base = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::cur ? gptr() - eback()
                                                          : egptr() - eback();
        const off_type size = egptr() - eback();
        if (off > size - base || off < -base) return pos_type(off_type(-1));
        setg(eback(), eback() + base + off, egptr());
        return pos_type(base + off);
    }

    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
        return seekoff(off_type(pos), std::ios_base::beg, which);
    }
};

void CheckTerminated(const WCHAR* field, std::size_t capacity) {
    if (wmemchr(field, L'\0', capacity) == nullptr) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteBuf buf(data, size);
    std::istream stream(&buf);
    OstMusicTag tag;
    tag.ResetInfo();
    if (tag.HasId3Header(stream)) tag.ReadFrames(stream);
    // The walk itself must not depend on the header check.
    tag.ReadFrames(stream);
    CheckTerminated(tag.m_szTitle, OstMusicTag::kTextChars);
    CheckTerminated(tag.m_szArtist, OstMusicTag::kTextChars);
    CheckTerminated(tag.m_szAlbum, OstMusicTag::kTextChars);
    return 0;
}
