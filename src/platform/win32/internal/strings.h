// UTF-8 <-> wide helpers for the layer's own use (titles, paths, reports).
#pragma once

#include <string>

namespace win32 {

std::string toUtf8(const wchar_t* text);
std::wstring fromUtf8(const std::string& text);

}  // namespace win32
