#include "platform/x11/xsettings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/xsettings_blob.h"

namespace {

using testing_support::XSettingsBlob;
using x11::XSettingsIntegers;

// Parses from a buffer of exactly the bytes' size, so that a read past the
// end is one the address sanitizer sees.
std::optional<XSettingsIntegers> parse(const std::string& bytes) {
    std::vector<unsigned char> exact(bytes.begin(), bytes.end());
    return x11::parseXSettings(exact.empty() ? nullptr : exact.data(), exact.size());
}

// Every kind of setting, with names and strings of each length modulo 4.
XSettingsBlob mixed(bool msbFirst) {
    XSettingsBlob blob(msbFirst);
    blob.string("Net/ThemeName", "Adwaita")
        .color("Net/Accent", 0x1111, 0x2222, 0x3333, 0xFFFF)
        .integer("Gdk/WindowScalingFactor", 2)
        .string("Gtk/FontName", "Sans")
        .string("Net/IconThemeName", "")
        .integer("Xft/DPI", 196608)
        .string("Gtk/Modules", "abcdefghi")
        .integer("Xft/Antialias", -1);
    return blob;
}

const XSettingsIntegers kMixedIntegers = {{"Gdk/WindowScalingFactor", 2}, {"Xft/DPI", 196608}, {"Xft/Antialias", -1}};

struct WellFormed {
    const char* what;
    std::string bytes;
    XSettingsIntegers expected;
};

TEST(XSettingsTest, ReadsTheIntegersOfWellFormedLists) {
    const WellFormed cases[] = {
        {"no settings", XSettingsBlob().bytes(), {}},
        {"no settings, MSB first", XSettingsBlob(true).bytes(), {}},
        {"one integer", XSettingsBlob().integer("Xft/DPI", 98304).bytes(), {{"Xft/DPI", 98304}}},
        {"one integer, MSB first", XSettingsBlob(true).integer("Xft/DPI", 98304).bytes(), {{"Xft/DPI", 98304}}},
        {"negative", XSettingsBlob(true).integer("Xft/DPI", -1).bytes(), {{"Xft/DPI", -1}}},
        {"every kind mixed", mixed(false).bytes(), kMixedIntegers},
        {"every kind mixed, MSB first", mixed(true).bytes(), kMixedIntegers},
        {"names of each length",
         XSettingsBlob().integer("a", 1).integer("ab", 2).integer("abc", 3).integer("abcd", 4).integer("", 5).bytes(),
         {{"a", 1}, {"ab", 2}, {"abc", 3}, {"abcd", 4}, {"", 5}}},
        {"the later of two alike", XSettingsBlob().integer("x", 1).integer("x", 2).bytes(), {{"x", 2}}},
        {"bytes after the last setting", XSettingsBlob().integer("x", 1).raw("junk").bytes(), {{"x", 1}}},
        {"a colour only", XSettingsBlob().color("c", 1, 2, 3, 4).bytes(), {}},
    };
    for (const WellFormed& c : cases) {
        std::optional<XSettingsIntegers> got = parse(c.bytes);
        ASSERT_TRUE(got.has_value()) << c.what;
        EXPECT_EQ(*got, c.expected) << c.what;
    }
}

struct Malformed {
    const char* what;
    std::string bytes;
};

TEST(XSettingsTest, RefusesMalformedLists) {
    // A string setting "s" whose length, at byte 24, is made to lie.
    auto lyingString = [](bool msbFirst, std::uint32_t length) {
        XSettingsBlob blob(msbFirst);
        std::string bytes = blob.string("s", "abc").bytes();
        return bytes.replace(24, 4, blob.card32Bytes(length));
    };
    // Likewise an integer setting "x" whose name length, at byte 14, lies.
    auto lyingName = [](std::uint16_t length) {
        std::string bytes = XSettingsBlob().integer("x", 1).bytes();
        return bytes.replace(14, 2, std::string{static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)});
    };
    const Malformed cases[] = {
        {"empty", ""},
        {"one byte", std::string(1, '\0')},
        {"a header cut short", XSettingsBlob().bytes().substr(0, 11)},
        {"an unknown byte order", std::string(1, '\2') + XSettingsBlob().bytes().substr(1)},
        {"a letter for a byte order", "l" + XSettingsBlob().bytes().substr(1)},
        {"a count with no settings", XSettingsBlob().count(1).bytes()},
        {"a count one too many", XSettingsBlob().integer("x", 1).count(2).bytes()},
        {"a huge count", XSettingsBlob().integer("x", 1).count(0xFFFFFFFF).bytes()},
        {"a huge count, MSB first", XSettingsBlob(true).integer("x", 1).count(0x7FFFFFFF).bytes()},
        {"a name longer than the rest", lyingName(0xFFFF)},
        {"a name running into the value", lyingName(9)},
        {"a string longer than the rest", lyingString(false, 0xFFFFFFFF)},
        {"a string one byte too long", lyingString(true, 5)},
        {"a string without its padding", lyingString(false, 3).substr(0, 31)},
        {"an unknown type", XSettingsBlob().unknownType("x", 3).bytes()},
        {"an unknown type between two known",
         XSettingsBlob().integer("a", 1).unknownType("x", 200).integer("b", 2).bytes()},
    };
    for (const Malformed& c : cases) EXPECT_FALSE(parse(c.bytes).has_value()) << c.what;
    EXPECT_FALSE(x11::parseXSettings(nullptr, 64).has_value());
}

TEST(XSettingsTest, RefusesEveryTruncationOfAList) {
    for (bool msbFirst : {false, true}) {
        const std::string whole = mixed(msbFirst).bytes();
        for (std::size_t length = 0; length < whole.size(); ++length)
            EXPECT_FALSE(parse(whole.substr(0, length)).has_value()) << length << " of " << whole.size();
        EXPECT_TRUE(parse(whole).has_value());
    }
}

}  // namespace
