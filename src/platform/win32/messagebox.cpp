// Message boxes: always on stderr, recorded when a test asks, and shown as a modal
// dialog by the backend when there is a display.
#include <cstdio>

#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/internal/strings.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/user.h"

using namespace win32;

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    std::string captionText = caption ? toUtf8(caption) : "Error";
    std::string body = toUtf8(text);
    std::fprintf(stderr, "%s: %s\n", captionText.c_str(), body.c_str());
    recordMessageBox({captionText, body, type});
    if (backend()) {
        auto window = findWindow(owner);
        backend()->messageBox(window ? window->native : 0, captionText, body);
    }
    return IDOK;
}
