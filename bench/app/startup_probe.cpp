// startup_probe COMMAND...: starts COMMAND and prints the milliseconds until
// its first top-level window is mapped and then until something other than
// black shows in that window's area, as a person sees it on screen. Kills
// the command afterwards.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// True when any pixel of the window's area on the root is not black.
bool showsSomething(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return false;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return false;
    bool lit = false;
    for (int row = 0; row < attributes.height && !lit; row += 2)
        for (int column = 0; column < attributes.width && !lit; column += 2)
            lit = (XGetPixel(image, column, row) & 0xFFFFFF) != 0;
    XDestroyImage(image);
    return lit;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_probe COMMAND...\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 2;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const auto start = Clock::now();
    pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    Window mapped = 0;
    double mapMs = -1, paintMs = -1;
    while (msSince(start) < 10000) {
        while (!mapped && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect) {
                mapped = event.xmap.window;
                mapMs = msSince(start);
            }
        }
        if (mapped && showsSomething(display, mapped)) {
            paintMs = msSince(start);
            break;
        }
        usleep(500);
    }
    std::printf("%.1f %.1f\n", mapMs, paintMs);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    return paintMs < 0 ? 1 : 0;
}
