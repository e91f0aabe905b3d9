// The playing file as the media controls name it.
#pragma once

#include <string>

// A file URI for a local path given as the file system's bytes: every byte
// outside the unreserved set and '/' percent-encoded, so any name survives,
// whatever its encoding. Empty for an empty path.
std::string FileUri(const std::string& path);
