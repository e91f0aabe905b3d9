#include "platform/win32/internal/strings.h"

#include "platform/win32/text.h"

namespace win32 {

namespace {

std::string narrow(UINT codePage, const wchar_t* text) {
    if (!text || !*text) return {};
    int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

std::wstring widen(UINT codePage, const std::string& text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1) return {};
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, out.data(), size);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

}  // namespace

std::string toUtf8(const wchar_t* text) { return narrow(CP_UTF8, text); }
std::wstring fromUtf8(const std::string& text) { return widen(CP_UTF8, text); }
std::string toFileName(const wchar_t* name) { return narrow(CP_ACP, name); }
std::wstring fromFileName(const std::string& name) { return widen(CP_ACP, name); }

}  // namespace win32
