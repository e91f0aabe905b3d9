// The program: the real X11 display, then the Windows-style entry point.
#include "app/ot_application.h"
#include "platform/win32/internal/backend.h"
#include "platform/win32/kernel.h"
#include "platform/x11/x11_backend.h"

int main() {
    // With no display the backend stays empty: window creation then fails
    // and start-up reports it.
    win32::Backend* display = win32::createX11Backend();
    if (display) win32::installBackend(display);
    int exitCode = wWinMain(GetModuleHandleW(NULL), NULL, const_cast<LPWSTR>(L""), SW_SHOWNORMAL);
    win32::installBackend(nullptr);
    delete display;
    return exitCode;
}
