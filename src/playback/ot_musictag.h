// The track-information record of one audio file, filled from the file's
// ID3v2 tag ("TIT2" title, "TPE1" artist, "TALB" album). The play engine
// embeds one and calls Read after opening each file; other code only reads
// the fields. Not thread-safe: one owner, one thread.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "platform/win32/types.h"

class OstMusicTag {
public:
    // What the text fields hold while no tag has filled them: the start-up
    // values, and the ResetInfo values a file without the frame keeps.
    struct Placeholders {
        const WCHAR* pwszTitle;
        const WCHAR* pwszArtist;
        const WCHAR* pwszAlbum;
    };
    static constexpr Placeholders kStartup = {L"Ostrel", L"Vazivizev I", L"@ OT Dev. T"};
    static constexpr Placeholders kReset = {L"Untitled", L"Unknown Artist", L"Unknown Album"};

    OstMusicTag();
    virtual ~OstMusicTag();

    // Title "Untitled", artist "Unknown Artist", album "Unknown Album", the
    // default cover and an empty path.
    void ResetInfo();

    // ResetInfo, remember the path, then read the file's tag if it has one.
    // A file that is missing or has no tag leaves the ResetInfo values.
    void Read(LPCWSTR pwszPath);

    // True if the stream's first three bytes are "ID3".
    bool HasId3Header(std::istream& stream);

    // Walks the tag's frames from the start of the stream and stores the
    // text of the wanted frames; never reads past the tag or the stream.
    // Unsynchronisation is undone, so the frames read as their tagger wrote
    // them.
    void ReadFrames(std::istream& stream);

    // Points m_szCover at "covers/<artist> - <title>.jpg" if that file exists.
    void FindCover();

    static constexpr int kTextChars = 64;

    WCHAR m_szTitle[kTextChars];
    WCHAR m_szAlbum[kTextChars];
    WCHAR m_szArtist[kTextChars];
    WCHAR m_szCover[MAX_PATH];
    WCHAR m_szPath[MAX_PATH];

private:
    // The walk proper, over a stream whose tag body (what follows the
    // 10-byte tag header) starts at `origin`.
    void WalkFrames(std::istream& stream, std::uint64_t origin, const unsigned char* header);
};
