// Feeds arbitrary bytes to the settings list reader, as another X client
// could write them: it must neither crash, hang nor read outside the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/x11/xsettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size, so a read past it is caught.
    std::vector<unsigned char> bytes(data, data + size);
    auto integers = x11::parseXSettings(bytes.data(), bytes.size());
    // Each integer takes at least 12 bytes of the list.
    if (integers && integers->size() > size / 12) __builtin_trap();
    return 0;
}
