#include <gtest/gtest.h>

#include <string>

#include "platform/win32/text.h"
#include "platform/win32/user.h"

namespace {

std::wstring Widen(UINT cp, const std::string& s, DWORD flags = 0) {
    const int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return L"<fail>";
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    EXPECT_EQ(n, MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), out.data(), n));
    return out;
}

std::string Narrow(UINT cp, const std::wstring& s, BOOL* usedDefault = nullptr) {
    const int n = WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, usedDefault);
    if (n <= 0) return "<fail>";
    std::string out(static_cast<std::size_t>(n), '\0');
    EXPECT_EQ(n, WideCharToMultiByte(cp, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, usedDefault));
    return out;
}

TEST(TextConversion, RoundTripsEachCodePage) {
    struct Case {
        UINT cp;
        std::string narrow;
        std::wstring wide;
    } cases[] = {
        {CP_UTF8, "Caf\xC3\xA9 \xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x8E\xB5", L"Caf\u00E9 \u4F60\u597D \U0001F3B5"},
        {CP_ACP, "\xE4\xBD\xA0", L"\u4F60"},
        {936, "\xC4\xE3\xBA\xC3 ok", L"\u4F60\u597D ok"},
        {28591, "Caf\xE9", L"Caf\u00E9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cp);
        EXPECT_EQ(c.wide, Widen(c.cp, c.narrow));
        EXPECT_EQ(c.narrow, Narrow(c.cp, c.wide));
    }
}

TEST(TextConversion, TerminatedInputCountsTheTerminator) {
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0));
    WCHAR buf[8];
    std::wmemset(buf, L'x', 8);
    ASSERT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buf, 8));
    EXPECT_STREQ(L"abc", buf);

    EXPECT_EQ(7, WideCharToMultiByte(936, 0, L"\u4F60\u597Dab", -1, nullptr, 0, nullptr, nullptr));
    char nb[8];
    ASSERT_EQ(7, WideCharToMultiByte(936, 0, L"\u4F60\u597Dab", -1, nb, 8, nullptr, nullptr));
    EXPECT_STREQ(
        "\xC4\xE3\xBA\xC3"
        "ab",
        nb);
}

TEST(TextConversion, TooSmallOutputFailsWithoutOverrun) {
    WCHAR buf[4] = {L'z', L'z', L'z', L'z'};
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abcdef", -1, buf, 3));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    char nb[3] = {'z', 'z', 'z'};
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, L"\u4F60", 1, nb, 2, nullptr, nullptr));
    EXPECT_EQ(buf[3], L'z');
    EXPECT_EQ(nb[2], 'z');
}

TEST(TextConversion, BadArgumentsFail) {
    WCHAR w[8];
    char n[8];
    EXPECT_EQ(0, MultiByteToWideChar(1252, 0, "a", 1, w, 8));  // unknown code page
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0x100, "a", 1, w, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_FLAGS), GetLastError());
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, w, 8));
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "a", 0, w, 8));
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "a", -2, w, 8));
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 8));
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "a", 1, w, -1));
    BOOL used = FALSE;
    // UTF-8 has no default character.
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, L"a", 1, n, 8, "?", nullptr));
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, L"a", 1, n, 8, nullptr, &used));
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, L"a", 0, n, 8, nullptr, nullptr));
}

TEST(TextConversion, InvalidUtf8IsReplacedOrRejected) {
    const std::string bad[] = {
        "a\xFF"
        "b",  // never a UTF-8 byte
        "a\xC0\xAF"
        "b",  // overlong
        "a\xED\xA0\x80"
        "b",  // encoded surrogate
        "a\xF4\x90\x80\x80"
        "b",          // above U+10FFFF
        "a\xE4\xBD",  // cut short
    };
    for (const std::string& s : bad) {
        SCOPED_TRACE(s);
        EXPECT_EQ(0,
                  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0));
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
        const std::wstring w = Widen(CP_UTF8, s);
        EXPECT_EQ(L'a', w.front());
        EXPECT_NE(std::wstring::npos, w.find(L'\uFFFD'));
    }
    // The longest valid start of a sequence is one replacement, not three.
    EXPECT_EQ(L"\uFFFDb", Widen(CP_UTF8,
                                "\xE4\xBD"
                                "b"));
}

TEST(TextConversion, FileNamesKeepBytesThatAreNotUtf8) {
    // Each byte outside valid UTF-8 is one lone surrogate 0xDC00 + byte, and
    // converts back to that byte; valid UTF-8 around it is unchanged.
    auto esc = [](unsigned byte) { return static_cast<wchar_t>(0xDC00 + byte); };
    struct Case {
        std::string bytes;
        std::wstring wide;
    } cases[] = {
        {"caf\xE9.ogg", std::wstring(L"caf") + esc(0xE9) + L".ogg"},
        {"\xFF\xFE", {esc(0xFF), esc(0xFE)}},
        {"a\xC0\xAF", {L'a', esc(0xC0), esc(0xAF)}},          // overlong
        {"\xED\xB2\x80", {esc(0xED), esc(0xB2), esc(0x80)}},  // an encoded escape is no escape
        {"\xE4\xBD/", {esc(0xE4), esc(0xBD), L'/'}},          // cut short
        {"\xC3\xA9\xE9", {L'\u00E9', esc(0xE9)}},             // valid, then not
        {"\xF4\x90\x80\x80", {esc(0xF4), esc(0x90), esc(0x80), esc(0x80)}},
        {"\xE4\xBD\xA0", L"\u4F60"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(c.wide, Widen(CP_ACP, c.bytes));
        EXPECT_EQ(c.wide, Widen(CP_ACP, c.bytes, MB_ERR_INVALID_CHARS));
        EXPECT_EQ(c.bytes, Narrow(CP_ACP, c.wide));
        const int n = WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, c.wide.data(), static_cast<int>(c.wide.size()),
                                          nullptr, 0, nullptr, nullptr);
        EXPECT_EQ(static_cast<int>(c.bytes.size()), n);
    }
    // Every byte string comes back as itself.
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(all, Narrow(CP_ACP, Widen(CP_ACP, all)));

    // Text conversions keep their replacement: only names carry escapes.
    EXPECT_EQ(L"caf\uFFFD", Widen(CP_UTF8, "caf\xE9"));
    EXPECT_EQ("caf\xEF\xBF\xBD", Narrow(CP_UTF8, std::wstring(L"caf") + esc(0xE9)));
    // Surrogates that stand for no byte are still no character.
    const wchar_t other[] = {L'a', static_cast<wchar_t>(0xDC7F), static_cast<wchar_t>(0xD800), 0};
    EXPECT_EQ("a\xEF\xBF\xBD\xEF\xBF\xBD", Narrow(CP_ACP, other));
    EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, other, -1, nullptr, 0, nullptr, nullptr));
}

TEST(TextConversion, InvalidGbkIsReplacedOrRejected) {
    // 0xC4 leads a double-byte character; 0x20 cannot trail one.
    EXPECT_EQ(L"<fail>", Widen(936, "\xC4 x", MB_ERR_INVALID_CHARS));
    EXPECT_EQ(L"<fail>", Widen(936, "ab\xC4", MB_ERR_INVALID_CHARS));
    EXPECT_EQ(L"? x", Widen(936, "\xC4 x"));
}

TEST(TextConversion, UnmappableWideCharactersTakeTheDefault) {
    BOOL used = FALSE;
    EXPECT_EQ("a?b", Narrow(28591, L"a\u4F60b", &used));
    EXPECT_TRUE(used);
    EXPECT_EQ("ab", Narrow(28591, L"ab", &used));
    EXPECT_FALSE(used);
    // U+0E01 (Thai) is not in code page 936.
    EXPECT_EQ("x?y", Narrow(936, L"x\u0E01y", &used));
    EXPECT_TRUE(used);
    char n[4] = {};
    EXPECT_EQ(1, WideCharToMultiByte(28591, 0, L"\u4F60", 1, n, 4, "#", nullptr));
    EXPECT_EQ('#', n[0]);

    // A lone surrogate is no character: replaced in UTF-8, or rejected.
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), 0};
    EXPECT_EQ("a\xEF\xBF\xBD", Narrow(CP_UTF8, lone));
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, nullptr, 0, nullptr, nullptr));
}

}  // namespace
