// Resources compiled into the program (see src/resources).
#pragma once

#include <cstddef>

namespace win32 {

struct Resource {
    int id;
    const unsigned char* data;
    std::size_t size;
};

// Null when the program has no resource with that id.
const Resource* findResource(int id);

}  // namespace win32
