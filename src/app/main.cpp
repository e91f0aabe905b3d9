// The program: a running player raised instead of a second start, then the
// real X11 display and the Windows-style entry point.
#include "app/ot_application.h"
#include "platform/bus/running_player.h"
#include "platform/win32/internal/backend.h"
#include "platform/win32/kernel.h"
#include "platform/x11/x11_backend.h"

int main() {
    // One player per session: however this start came about (a launcher, the
    // desktop's media controls, a terminal), a running player is raised
    // instead of showing a second one.
    if (bus::raiseRunningPlayer("ostrel")) return 0;
    // With no display the backend stays empty: window creation then fails
    // and start-up reports it.
    win32::Backend* display = win32::createX11Backend();
    if (display) win32::installBackend(display);
    int exitCode = wWinMain(GetModuleHandleW(NULL), NULL, const_cast<LPWSTR>(L""), SW_SHOWNORMAL);
    win32::installBackend(nullptr);
    delete display;
    return exitCode;
}
