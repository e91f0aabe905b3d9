// The text/uri-list reader behind XDND drops.
#include "platform/x11/uri_list.h"

#include <cctype>

namespace x11 {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::string_view trim(std::string_view line) {
    // Some sources end the list with a NUL or pad lines with blanks.
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; };
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && blank(line.back())) line.remove_suffix(1);
    return line;
}

// The path of one file URI, still encoded; empty when the URI is not local.
std::string_view localPart(std::string_view uri, std::string_view hostname) {
    if (!startsWithIgnoreCase(uri, "file:")) return {};
    std::string_view rest = uri.substr(5);
    if (rest.substr(0, 2) != "//") {
        // file:/path, the form without an authority.
        return rest.substr(0, 1) == "/" ? rest : std::string_view{};
    }
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return {};
    std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !equalsIgnoreCase(host, "localhost") &&
        !(!hostname.empty() && equalsIgnoreCase(host, hostname)))
        return {};
    return rest.substr(slash);
}

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = hexValue(text[i + 1]);
            int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::vector<std::string> parseUriList(std::string_view list, std::string_view hostname) {
    std::vector<std::string> paths;
    while (!list.empty()) {
        size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);

        line = trim(line);
        if (line.empty() || line.front() == '#') continue;
        std::string_view encoded = localPart(line, hostname);
        if (encoded.empty()) continue;
        std::string path = percentDecode(encoded);
        if (path.find('\0') != std::string::npos) continue;
        paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace x11
