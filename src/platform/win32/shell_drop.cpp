// Drops: the backend's dropped paths become an HDROP posted with
// WM_DROPFILES to a window that accepts files.
#include <algorithm>

#include "platform/win32/internal/events.h"
#include "platform/win32/internal/scale.h"
#include "platform/win32/internal/strings.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/shell.h"

namespace win32 {
namespace {

struct DropObject : Object {
    std::vector<std::wstring> files;
    POINT point{};
};

}  // namespace

void onDrop(NativeWindow native, const std::vector<std::string>& paths, POINT client) {
    HWND hwnd = windowForNative(native);
    auto window = findWindow(hwnd);
    if (!window || !(window->exStyle & WS_EX_ACCEPTFILES) || paths.empty()) return;
    auto drop = std::make_shared<DropObject>();
    for (const std::string& path : paths) {
        std::wstring wide = fromFileName(path);
        if (!wide.empty()) drop->files.push_back(std::move(wide));
    }
    if (drop->files.empty()) return;
    drop->point = toLogical(client, displayScale());
    HDROP handle = static_cast<HDROP>(addHandle(HandleKind::Drop, drop));
    if (!PostMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0)) removeHandle(handle, HandleKind::Drop);
}

}  // namespace win32

using namespace win32;

UINT DragQueryFileW(HDROP handle, UINT index, LPWSTR file, UINT cch) {
    auto drop = findAs<DropObject>(handle, HandleKind::Drop);
    if (!drop) return 0;
    if (index == 0xFFFFFFFF) return static_cast<UINT>(drop->files.size());
    if (index >= drop->files.size()) return 0;
    const std::wstring& name = drop->files[index];
    if (!file || cch == 0) return static_cast<UINT>(name.size());
    // Cut to the buffer, terminator included, as shell32 does.
    UINT copied = std::min<UINT>(static_cast<UINT>(name.size()), cch - 1);
    std::copy_n(name.data(), copied, file);
    file[copied] = L'\0';
    return copied;
}

void DragFinish(HDROP handle) { removeHandle(handle, HandleKind::Drop); }

BOOL DragQueryPoint(HDROP handle, POINT* point) {
    auto drop = findAs<DropObject>(handle, HandleKind::Drop);
    if (!drop || !point) return FALSE;
    *point = drop->point;
    return TRUE;
}
