// The handle table: every HWND, HDC, HBITMAP, HRGN, HBRUSH, HICON, HDROP and
// timer handle is an opaque id looked up here. Ids are never reused, so a
// stale handle finds nothing instead of someone else's object. Safe from any
// thread; a lookup keeps the object alive while the caller uses it.
#pragma once

#include <cstdint>
#include <memory>

namespace win32 {

enum class HandleKind : std::uint8_t {
    Window = 1,
    Dc,
    Bitmap,
    Region,
    Brush,
    Icon,
    Drop,
    Timer,
    Local,
};

struct Object {
    virtual ~Object() = default;
};

void* addHandle(HandleKind kind, std::shared_ptr<Object> object);
std::shared_ptr<Object> findHandle(const void* handle, HandleKind kind);
// Removes the handle; false if it was not (or no longer) in the table.
bool removeHandle(const void* handle, HandleKind kind);
// The kind a handle value was made for, whether or not it is still alive.
HandleKind handleKindOf(const void* handle);

template <class T>
std::shared_ptr<T> findAs(const void* handle, HandleKind kind) {
    return std::static_pointer_cast<T>(findHandle(handle, kind));
}

}  // namespace win32
