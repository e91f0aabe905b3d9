// Icons and cursors: an icon holds its image as a device bitmap.
#pragma once

#include <memory>
#include <vector>

#include "platform/win32/internal/gdi_objects.h"

namespace win32 {

struct IconObject : Object {
    std::shared_ptr<BitmapObject> image;  // premultiplied; null for a cursor
    bool shared = false;                  // loaded from a resource: DestroyIcon leaves it
};

std::shared_ptr<IconObject> findIcon(HICON icon);

// Straight ARGB pixels (A<<24 | R<<16 | G<<8 | B) of an icon, as window
// managers and trays want them; empty for a cursor or a stale handle.
std::vector<std::uint32_t> iconPixels(HICON icon, int* width, int* height);

}  // namespace win32
