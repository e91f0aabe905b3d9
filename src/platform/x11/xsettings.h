// The settings a settings manager publishes to every X client (the
// _XSETTINGS_SETTINGS property on the owner of _XSETTINGS_S<screen>).
// Another client writes those bytes, so they are read as untrusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace x11 {

// The integer settings, by name; string and colour settings are skipped.
using XSettingsIntegers = std::map<std::string, std::int32_t>;

// Null when the bytes are not a whole, well-formed settings list: too short,
// an unknown byte order or setting type (whose size cannot be known), or a
// length or count that runs past the end. Never reads outside `data`.
std::optional<XSettingsIntegers> parseXSettings(const unsigned char* data, std::size_t size);

}  // namespace x11
