#include "app/ot_fileuri.h"

std::string FileUri(const std::string& path) {
    if (path.empty()) return std::string();
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (char byte : path) {
        unsigned char c = static_cast<unsigned char>(byte);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}
