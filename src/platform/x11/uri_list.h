// Reading a text/uri-list (RFC 2483) as local file paths, for XDND drops.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace x11 {

// Decodes %XX escapes; a '%' not followed by two hex digits stays as it is.
std::string percentDecode(std::string_view text);

// The local paths named by the file:// URIs of `list`, in order. Lines may end
// in CRLF or LF; comment lines, other schemes, remote hosts and paths that
// would decode to an embedded NUL are skipped. `hostname` is this machine's
// name: file://HOST/ is local when HOST is empty, "localhost" or it.
std::vector<std::string> parseUriList(std::string_view list, std::string_view hostname);

}  // namespace x11
