// Unsynchronised tags read as their taggers wrote them: tags written by
// eyeD3 and mid3v2 (tests/fixtures/tags, made by make_unsync.py there) read
// the same unsynchronised as plain; and the undoing itself, across the
// blocks it reads in and the seeks the walk makes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "playback/ot_musictag.h"
#include "playback/ot_unsyncbuf.h"

namespace {

struct Fields {
    std::wstring title, artist, album;
};

Fields ReadTag(const std::string& bytes) {
    std::istringstream stream(bytes);
    OstMusicTag tag;
    tag.ResetInfo();
    if (tag.HasId3Header(stream)) tag.ReadFrames(stream);
    return {tag.m_szTitle, tag.m_szArtist, tag.m_szAlbum};
}

std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(OST_FIXTURES) + "/tags/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(UnsyncTags, ReadAsTheTaggerWroteThem) {
    const std::wstring title = L"Caf\u00E9 D\u00E9j\u00E0 Vu";
    const std::wstring album = L"\u00C4lbum \u00FF\u00E9";
    struct Case {
        const char* name;
        const wchar_t* artist;  // null: whatever the plain tag gives
    } cases[] = {
        {"eyed3_v23_utf16", L"\u00C6rtist"},  // 2.3, whole tag, picture first
        {"eyed3_v23_latin1", nullptr},        // the artist's bytes read as code page 936
        {"eyed3_v24_utf16", L"\u00C6rtist"},  // 2.4, each frame, data length indicators
        {"eyed3_v24_latin1", nullptr},        // 2.4, each frame, none
        {"mid3v2_v24_utf8", L"\u00C6rtist"},  // the first of two artists; the tag flag as well
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string plainBytes = Fixture(std::string(c.name) + ".plain.id3");
        const std::string unsyncBytes = Fixture(std::string(c.name) + ".unsync.id3");
        ASSERT_FALSE(plainBytes.empty());
        ASSERT_NE(plainBytes, unsyncBytes) << "the tagger's bytes hold something to unsynchronise";
        const Fields plain = ReadTag(plainBytes);
        EXPECT_EQ(plain.title, title);
        EXPECT_EQ(plain.album, album);
        if (c.artist) {
            EXPECT_EQ(plain.artist, c.artist);
        }
        const Fields unsync = ReadTag(unsyncBytes);
        EXPECT_EQ(unsync.title, plain.title);
        EXPECT_EQ(unsync.artist, plain.artist);
        EXPECT_EQ(unsync.album, plain.album);
    }
}

TEST(UnsyncTags, HostileUnsynchronisedTagsEndQuietly) {
    // A tag claiming 256 MiB in a short file; a 2.4 frame too short for its
    // data length indicator.
    std::string huge = Fixture("eyed3_v23_utf16.unsync.id3");
    huge.replace(6, 4, "\x7F\x7F\x7F\x7F");
    EXPECT_EQ(ReadTag(huge).title, L"Caf\u00E9 D\u00E9j\u00E0 Vu");
    const std::string tiny =
        std::string("ID3\4\0\0\0\0\0\x20", 10) + "TIT2" + std::string("\0\0\0\2\0\3\0\0", 8) + std::string(12, '\0');
    EXPECT_EQ(ReadTag(tiny).title, L"");
}

// The undoing reads in blocks: a 0xFF at the end of one block and its
// inserted zero at the start of the next still make one 0xFF.
TEST(UnsyncBuffer, UndoesAcrossBlocksAndSeeks) {
    // The stretch starts after "xx"; its 4096th byte is a 0xFF whose zero
    // opens the second block.
    std::string plain(4095, 'a');
    std::string coded = "xx" + plain;
    for (int i = 0; i < 3000; ++i) {
        const char c = static_cast<char>(i % 7 == 0 ? 0xFF : i % 251);
        plain += c;
        coded += c;
        if (c == '\xFF') coded += '\0';
    }
    plain += std::string("\xFF\0\0", 3);  // only the inserted zero goes
    coded += std::string("\xFF\0\0\0", 4);
    std::istringstream source(coded + "yy");
    OstUnsyncBuf buffer(source, 2, coded.size());
    std::istream stream(&buffer);
    std::string got((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, plain);

    // Forward and back, as the walk seeks.
    for (std::size_t at : {std::size_t{4096}, std::size_t{5}, std::size_t{6001}, plain.size() - 1}) {
        stream.clear();
        ASSERT_TRUE(stream.seekg(static_cast<std::streamoff>(at))) << at;
        EXPECT_EQ(stream.get(), static_cast<unsigned char>(plain[at])) << at;
    }
    stream.clear();
    EXPECT_FALSE(stream.seekg(static_cast<std::streamoff>(plain.size() + 1))) << "no seek past the end";
}

}  // namespace
