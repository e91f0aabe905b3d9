#include "platform/x11/uri_list.h"

#include <gtest/gtest.h>

using x11::parseUriList;
using x11::percentDecode;
using Paths = std::vector<std::string>;

TEST(PercentDecode, Table) {
    struct Case {
        const char* in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"/plain/path", "/plain/path"},
        {"/a%20b", "/a b"},
        {"%2F%2f", "//"},
        {"%C3%A9t%C3%A9", "\xC3\xA9t\xC3\xA9"},
        {"100%", "100%"},  // cut short at the end
        {"%4", "%4"},
        {"%zz%4g", "%zz%4g"},  // not hex: left alone
        {"%%41", "%A"},        // the first % is malformed, the second decodes
        {"%00", std::string(1, '\0')},
    };
    for (const Case& c : cases) EXPECT_EQ(percentDecode(c.in), c.out) << c.in;
}

TEST(UriList, SeveralFilesWithCrlfAndComments) {
    const char* list =
        "# dragged from somewhere\r\n"
        "file:///home/u/My%20Song.mp3\r\n"
        "file:///home/u/%E6%AD%8C.flac\r\n"
        "file:///tmp/a%2Bb&c.ogg\r\n";
    EXPECT_EQ(parseUriList(list, "box"), (Paths{"/home/u/My Song.mp3", "/home/u/\xE6\xAD\x8C.flac", "/tmp/a+b&c.ogg"}));
}

TEST(UriList, LineEndingsAndPadding) {
    EXPECT_EQ(parseUriList("file:///a\nfile:///b", ""), (Paths{"/a", "/b"}));  // bare LF, no final newline
    EXPECT_EQ(parseUriList("file:///a\r\n\r\n\nfile:///b\r\n", ""), (Paths{"/a", "/b"}));
    EXPECT_EQ(parseUriList(std::string("file:///a\r\n\0", 13), ""), (Paths{"/a"}));  // NUL-terminated by the source
    EXPECT_EQ(parseUriList("  file:///a  \r\n", ""), (Paths{"/a"}));
    EXPECT_EQ(parseUriList("", ""), Paths{});
    EXPECT_EQ(parseUriList("\r\n\r\n#only a comment", ""), Paths{});
}

TEST(UriList, Hosts) {
    EXPECT_EQ(parseUriList("file://localhost/x\r\n", "box"), (Paths{"/x"}));
    EXPECT_EQ(parseUriList("file://LOCALHOST/x\r\n", "box"), (Paths{"/x"}));
    EXPECT_EQ(parseUriList("file://box/x\r\n", "box"), (Paths{"/x"}));
    EXPECT_EQ(parseUriList("file://other/x\r\n", "box"), Paths{});
    EXPECT_EQ(parseUriList("file://box/x\r\n", ""), Paths{});  // no hostname known: only the local forms
    EXPECT_EQ(parseUriList("file:/x%20y\r\n", "box"), (Paths{"/x y"}));
    EXPECT_EQ(parseUriList("FILE:///x\r\n", "box"), (Paths{"/x"}));
}

TEST(UriList, RejectsWhatIsNotALocalFile) {
    const char* rejected[] = {
        "http://example.com/a.mp3",
        "file:relative",
        "file://",
        "file://hostonly",
        "file:",
        "file:///a%00b",  // would cut the path short
        "/just/a/path",
        "fil",
    };
    for (const char* line : rejected) EXPECT_EQ(parseUriList(line, "box"), Paths{}) << line;
    EXPECT_EQ(parseUriList("http://x/a\r\nfile:///ok\r\nsmb://s/b\r\n", ""), (Paths{"/ok"}));
}

TEST(UriList, MalformedEscapesStayLiteral) {
    EXPECT_EQ(parseUriList("file:///50%25%off%\r\n", ""), (Paths{"/50%%off%"}));
}
