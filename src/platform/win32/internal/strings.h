// UTF-8 <-> wide helpers for the layer's own use (titles, paths, reports).
#pragma once

#include <string>

namespace win32 {

std::string toUtf8(const wchar_t* text);
std::wstring fromUtf8(const std::string& text);
// File names: bytes that are not UTF-8 survive the round trip (see text.h).
std::string toFileName(const wchar_t* name);
std::wstring fromFileName(const std::string& name);

}  // namespace win32
