#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/text.h"
#include "playback/ot_musictag.h"

namespace fs = std::filesystem;

namespace {

struct Frame {
    std::string id;
    std::string body;
    unsigned char flags = 0;  // first flags byte
};

std::string Be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string Synchsafe(std::uint32_t v) {
    return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F),
            static_cast<char>((v >> 7) & 0x7F), static_cast<char>(v & 0x7F)};
}

std::string FrameBytes(int major, const Frame& f) {
    const auto size = static_cast<std::uint32_t>(f.body.size());
    return f.id + (major == 4 ? Synchsafe(size) : Be32(size)) + std::string(1, static_cast<char>(f.flags)) +
           std::string(1, '\0') + f.body;
}

// A whole tag: header, optional extended header, frames, padding.
std::string Tag(int major, const std::vector<Frame>& frames, std::size_t padding = 0,
                const std::string& extended = {}) {
    std::string body = extended;
    for (const Frame& f : frames) body += FrameBytes(major, f);
    body += std::string(padding, '\0');
    std::string head = "ID3";
    head += static_cast<char>(major);
    head += '\0';
    head += static_cast<char>(extended.empty() ? 0 : 0x40);
    return head + Synchsafe(static_cast<std::uint32_t>(body.size())) + body;
}

std::string Latin(const std::string& s) { return std::string(1, '\0') + s; }

std::string Utf16Le(const std::u16string& s) {
    std::string out = "\x01\xFF\xFE";
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::string Utf16Be(const std::u16string& s, bool bom) {
    std::string out = bom ? "\x01\xFE\xFF" : "\x02";
    for (char16_t c : s) {
        out += static_cast<char>(c >> 8);
        out += static_cast<char>(c & 0xFF);
    }
    return out;
}

// The wide form of a path as the program gets it: from the file system's
// encoding, whatever the process locale says.
std::wstring WidePath(const fs::path& p) {
    const std::string& s = p.native();
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

class MusicTagTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::path(::testing::TempDir()) / "ostrel-tag-XXXXXX").string();
        ASSERT_NE(nullptr, ::mkdtemp(templ.data()));
        m_dir = templ;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    fs::path Write(const std::string& bytes, const std::string& name = "track.mp3") {
        const fs::path p = m_dir / fs::u8path(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    // Reads a file holding these bytes followed by some audio-like data.
    void ReadBytes(const std::string& bytes) { m_tag.Read(WidePath(Write(bytes)).c_str()); }

    fs::path m_dir;
    OstMusicTag m_tag;
};

TEST_F(MusicTagTest, StartsWithTheBuiltInValues) {
    EXPECT_STREQ(L"Ostrel", m_tag.m_szTitle);
    EXPECT_STREQ(L"Vazivizev I", m_tag.m_szArtist);
    EXPECT_STREQ(L"@ OT Dev. T", m_tag.m_szAlbum);
    EXPECT_STREQ(L"covers/no_cover.jpg", m_tag.m_szCover);
    EXPECT_STREQ(L"", m_tag.m_szPath);
}

TEST_F(MusicTagTest, FileWithoutUsableTagKeepsTheResetValues) {
    const std::string inputs[] = {
        std::string("\xFF\xFB\x90\x00 not a tag", 14),
        "ID",
        "",
    };
    for (const std::string& bytes : inputs) {
        const fs::path p = Write(bytes);
        m_tag.Read(WidePath(p).c_str());
        EXPECT_STREQ(L"Untitled", m_tag.m_szTitle);
        EXPECT_STREQ(L"Unknown Artist", m_tag.m_szArtist);
        EXPECT_STREQ(L"Unknown Album", m_tag.m_szAlbum);
        EXPECT_STREQ(L"covers/no_cover.jpg", m_tag.m_szCover);
        EXPECT_EQ(WidePath(p), m_tag.m_szPath);
    }

    const std::wstring missing = WidePath(m_dir / "missing.mp3");
    m_tag.Read(missing.c_str());
    EXPECT_STREQ(L"Untitled", m_tag.m_szTitle);
    EXPECT_EQ(missing, m_tag.m_szPath);
}

TEST_F(MusicTagTest, ReadsTheThreeFramesAndPassesOthers) {
    ReadBytes(Tag(3,
                  {{"TYER", Latin("1999")},
                   {"TIT2", Latin("Song")},
                   {"COMM", std::string("\0eng\0comment", 12)},
                   {"TPE1", Latin("Band")},
                   {"TALB", Latin("Record")}},
                  64) +
              "audio");
    EXPECT_STREQ(L"Song", m_tag.m_szTitle);
    EXPECT_STREQ(L"Band", m_tag.m_szArtist);
    EXPECT_STREQ(L"Record", m_tag.m_szAlbum);
}

TEST_F(MusicTagTest, ANewReadStartsFromTheResetValues) {
    ReadBytes(Tag(3, {{"TIT2", Latin("First")}}));
    ASSERT_STREQ(L"First", m_tag.m_szTitle);
    ReadBytes("no tag here");
    EXPECT_STREQ(L"Untitled", m_tag.m_szTitle);
}

TEST_F(MusicTagTest, LaterFrameWinsAndFlaggedFramesAreSkipped) {
    ReadBytes(Tag(3, {{"TIT2", Latin("One")},
                      {"TIT2", Latin("Two")},
                      {"TIT2", Latin("Hidden"), 0x80},
                      {"TPE1", Latin("Still found")}}));
    EXPECT_STREQ(L"Two", m_tag.m_szTitle);
    EXPECT_STREQ(L"Still found", m_tag.m_szArtist);
}

TEST_F(MusicTagTest, EmptyFrameEmptiesTheField) {
    ReadBytes(Tag(3, {{"TALB", ""}}, 10));
    EXPECT_STREQ(L"", m_tag.m_szAlbum);
}

TEST_F(MusicTagTest, DecodesEveryTextEncoding) {
    struct Case {
        const char* name;
        std::string body;
        const wchar_t* want;
    } cases[] = {
        {"latin1 fallback", Latin("Caf\xE9"), L"Caf\u00E9"},
        {"gbk", Latin("\xC4\xE3\xBA\xC3"), L"\u4F60\u597D"},
        {"utf16 le", Utf16Le(u"Caf\u00E9 \u4F60\U0001F3B5"), L"Caf\u00E9 \u4F60\U0001F3B5"},
        {"utf16 be bom", Utf16Be(u"Stra\u00DFe", true), L"Stra\u00DFe"},
        {"utf16be", Utf16Be(u"\u4F60\u597D", false), L"\u4F60\u597D"},
        {"utf16 lone surrogate", Utf16Be(u"a\xD800", false), L"a\uFFFD"},
        {"utf8",
         "\x03"
         "Caf\xC3\xA9 \xE4\xBD\xA0",
         L"Caf\u00E9 \u4F60"},
        {"utf8 bom", "\x03\xEF\xBB\xBFok", L"ok"},
        {"only the first string", std::string("\x03one\0two", 8), L"one"},
        // An unknown encoding byte is taken as part of the text.
        {"unknown encoding",
         "\x07"
         "abc",
         L"\x07"
         "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int major : {3, 4}) {
            ReadBytes(Tag(major, {{"TIT2", c.body}}));
            EXPECT_STREQ(c.want, m_tag.m_szTitle);
        }
    }
}

TEST_F(MusicTagTest, LongFramesAreCutTo63Characters) {
    std::u16string sixtyFour(64, u'x');
    sixtyFour[62] = u'y';
    sixtyFour[63] = u'z';
    std::string gbk;
    std::wstring han;
    for (int i = 0; i < 80; ++i) {
        gbk += "\xC4\xE3";
        han += L'\u4F60';
    }
    ReadBytes(Tag(3, {{"TIT2", Utf16Le(sixtyFour)},  // 131 bytes
                      {"TPE1", Latin(gbk)},          // 161 bytes
                      {"TALB", std::string(1, '\3') + std::string(300, 'a')}}));
    EXPECT_EQ(std::wstring(62, L'x') + L"y", m_tag.m_szTitle);
    EXPECT_EQ(han.substr(0, 63), m_tag.m_szArtist);
    EXPECT_EQ(std::wstring(63, L'a'), m_tag.m_szAlbum);
}

TEST_F(MusicTagTest, Version4SizesAreSynchsafe) {
    // 300 bytes: synchsafe 00 00 02 2C, which a plain reading takes for 556.
    std::string picture = std::string("\0image/jpeg\0\3\0", 14) + std::string(286, '\xFF');
    ReadBytes(Tag(4, {{"APIC", picture}, {"TIT2", Latin("After picture")}}));
    EXPECT_STREQ(L"After picture", m_tag.m_szTitle);

    // Version 3 keeps plain sizes: 0x80 bytes of picture is not 0x100.
    ReadBytes(Tag(3, {{"APIC", std::string(0x80, '\x01')}, {"TIT2", Latin("v3")}}));
    EXPECT_STREQ(L"v3", m_tag.m_szTitle);
}

TEST_F(MusicTagTest, Version4PlainSizesFromTaggersThatWriteThem) {
    // A 300-byte picture first, its size written plain (00 00 01 2C): the
    // synchsafe reading (172) lands inside the picture, the plain one on the
    // next frame.
    const std::string picture = std::string("\0image/png\0\3\0", 13) + std::string(287, '\x01');
    const std::string title = FrameBytes(4, {"TIT2", Latin("Plain")});
    std::string body = "APIC" + Be32(300) + std::string(2, '\0') + picture + title;
    struct Case {
        const char* name;
        std::string tail;  // after the frames, inside the tag
        const wchar_t* title;
    } cases[] = {
        {"frame follows", FrameBytes(4, {"TPE1", Latin("Next")}), L"Plain"},
        {"padding follows", std::string(40, '\0'), L"Plain"},
        {"tag ends", "", L"Plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string all = body + c.tail;
        ReadBytes(std::string("ID3\4\0\0", 6) + Synchsafe(static_cast<std::uint32_t>(all.size())) + all);
        EXPECT_STREQ(c.title, m_tag.m_szTitle);
    }

    // Where the synchsafe reading lands well it is kept, even when the plain
    // one would too: 00 00 02 2C is 300 synchsafe, 556 plain, and a frame
    // header sits at both.
    std::string v4 = FrameBytes(4, {"APIC", std::string(300, '\x01')}) + FrameBytes(4, {"TIT2", Latin("Synchsafe")}) +
                     FrameBytes(4, {"TPE1", Latin(std::string(225, 'a'))});
    ASSERT_EQ(566u, v4.size());
    v4 += FrameBytes(4, {"TALB", Latin("Album")});
    ReadBytes(std::string("ID3\4\0\0", 6) + Synchsafe(static_cast<std::uint32_t>(v4.size())) + v4);
    EXPECT_STREQ(L"Synchsafe", m_tag.m_szTitle);
    EXPECT_STREQ(L"Album", m_tag.m_szAlbum);

    // A picture whose bytes hold zeros is no padding for the synchsafe reading.
    const std::string zeros = std::string("\0image/png\0\3\0", 13) + std::string(287, '\0') + "x";
    std::string holed = "APIC" + Be32(301) + std::string(2, '\0') + zeros + title;
    ReadBytes(std::string("ID3\4\0\0", 6) + Synchsafe(static_cast<std::uint32_t>(holed.size())) + holed);
    EXPECT_STREQ(L"Plain", m_tag.m_szTitle);
}

TEST_F(MusicTagTest, ExtendedHeaderIsSkippedOnlyWhenPlausible) {
    // 2.3: the size (6 or 10) leaves out its own four bytes; 2.4: it counts them.
    ReadBytes(Tag(3, {{"TIT2", Latin("v3 ext")}}, 0, Be32(6) + std::string(6, '\0')));
    EXPECT_STREQ(L"v3 ext", m_tag.m_szTitle);
    ReadBytes(Tag(3, {{"TIT2", Latin("v3 crc")}}, 0, Be32(10) + std::string(10, '\0')));
    EXPECT_STREQ(L"v3 crc", m_tag.m_szTitle);
    ReadBytes(Tag(4, {{"TIT2", Latin("v4 ext")}}, 0, Synchsafe(6) + std::string("\x01\x00", 2)));
    EXPECT_STREQ(L"v4 ext", m_tag.m_szTitle);

    // The flag set with no extended header: the frames are read all the same.
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        std::string stray = Tag(major, {{"TIT2", Latin("Stray flag")}, {"TPE1", Latin("Artist")}});
        stray[5] = '\x40';
        ReadBytes(stray);
        EXPECT_STREQ(L"Stray flag", m_tag.m_szTitle);
        EXPECT_STREQ(L"Artist", m_tag.m_szArtist);
    }
}

TEST_F(MusicTagTest, WalkStopsAtTheTagBound) {
    // S = 257 (00 00 02 01): frame headers are read while R < 247.
    auto tagWithTitleAt = [](std::uint32_t at) {
        std::string body = FrameBytes(3, {"XXXX", std::string(at - 10, '\0')});
        body += FrameBytes(3, {"TIT2", Latin("Edge")});
        std::string tag = std::string("ID3\3\0\0\0\0\x02\x01", 10) + body;
        return tag + std::string(300, '\0');
    };
    ReadBytes(tagWithTitleAt(246));
    EXPECT_STREQ(L"Edge", m_tag.m_szTitle);
    ReadBytes(tagWithTitleAt(247));
    EXPECT_STREQ(L"Untitled", m_tag.m_szTitle);
}

TEST_F(MusicTagTest, HostileTagsEndQuietly) {
    const std::string title = FrameBytes(3, {"TIT2", Latin("Seen")});
    // Tag sizes below 10: no frame is read.
    for (char s : {'\0', '\x01', '\x09'}) {
        ReadBytes(std::string("ID3\3\0\0\0\0\0", 9) + s + title);
        EXPECT_STREQ(L"Untitled", m_tag.m_szTitle);
    }
    // A frame claiming 4 GiB, in a tag claiming 256 MiB, in a short file.
    ReadBytes(std::string("ID3\3\0\0\x7F\x7F\x7F\x7F", 10) + title + std::string("TPE1\xFF\xFF\xFF\xFF\0\0\0abc", 14));
    EXPECT_STREQ(L"Seen", m_tag.m_szTitle);
    EXPECT_STREQ(L"abc", m_tag.m_szArtist);
    // The file ends inside a frame: the bytes that are there are used.
    const std::string whole = Tag(3, {{"TIT2", Latin("Seen")}, {"TPE1", Latin("Cut short")}});
    ReadBytes(whole.substr(0, whole.size() - 6));
    EXPECT_STREQ(L"Seen", m_tag.m_szTitle);
    EXPECT_STREQ(L"Cut", m_tag.m_szArtist);
    // ... or inside a frame header.
    ReadBytes(whole.substr(0, 10 + title.size() + 6));
    EXPECT_STREQ(L"Seen", m_tag.m_szTitle);
    EXPECT_STREQ(L"Unknown Artist", m_tag.m_szArtist);
}

TEST_F(MusicTagTest, OpensPathsInTheFileSystemEncoding) {
    const fs::path p = Write(Tag(3, {{"TIT2", Latin("Found")}}), "\xE9\x9F\xB3\xE4\xB9\x90 caf\xC3\xA9.mp3");
    m_tag.Read(L"/nonexistent");
    m_tag.Read(WidePath(p).c_str());
    EXPECT_STREQ(L"Found", m_tag.m_szTitle);
}

TEST_F(MusicTagTest, HeaderCheckNeedsThreeBytes) {
    std::istringstream tagged("ID3\4\0\0\0\0\0\0");
    std::istringstream shortStream("ID");
    std::istringstream other("MP3");
    EXPECT_TRUE(m_tag.HasId3Header(tagged));
    EXPECT_TRUE(m_tag.HasId3Header(tagged));  // rereads from the start
    EXPECT_FALSE(m_tag.HasId3Header(shortStream));
    EXPECT_FALSE(m_tag.HasId3Header(other));
    std::ifstream closed;
    EXPECT_FALSE(m_tag.HasId3Header(closed));
}

TEST_F(MusicTagTest, FindCoverUsesAnExistingPicture) {
    const fs::path old = fs::current_path();
    fs::current_path(m_dir);
    ReadBytes(Tag(3, {{"TIT2", Latin("Song")}, {"TPE1", Latin("Band")}}));
    m_tag.FindCover();
    EXPECT_STREQ(L"covers/no_cover.jpg", m_tag.m_szCover);

    fs::create_directory(m_dir / "covers");
    std::ofstream(m_dir / "covers" / "Band - Song.jpg") << "jpeg";
    m_tag.FindCover();
    EXPECT_STREQ(L"covers/Band - Song.jpg", m_tag.m_szCover);
    fs::current_path(old);
}

}  // namespace
