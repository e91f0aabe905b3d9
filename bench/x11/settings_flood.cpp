// Another X client rewriting display settings as fast as it is told to: it
// takes the settings manager selection and rewrites its settings list, or
// rewrites RESOURCE_MANAGER on the root, each time SIZE bytes long.
//   settings_flood settings|resources RATE SECONDS [SIZE]
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void card32(std::string& out, std::uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); }

void padded(std::string& out, const std::string& bytes) {
    out += bytes;
    out.append((4 - bytes.size() % 4) % 4, '\0');
}

// A well-formed list, little-endian: a long string setting, then Xft/DPI.
std::string settingsList(std::size_t size) {
    std::string list{'\0', '\0', '\0', '\0'};
    card32(list, 1);                     // serial
    card32(list, 2);                     // settings
    list += std::string{1, '\0', 1, 0};  // a string, its name one byte long
    padded(list, "N");
    card32(list, 0);
    card32(list, static_cast<std::uint32_t>(size));
    padded(list, std::string(size, 'a'));
    list += std::string{0, '\0', 7, 0};  // an integer, its name seven bytes long
    padded(list, "Xft/DPI");
    card32(list, 0);
    card32(list, 192 * 1024);
    return list;
}

std::string resources(std::size_t size) {
    std::string text;
    while (text.size() + 80 < size) text += "! " + std::string(77, 'x') + "\n";
    return text + "Xft.dpi:\t192\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: settings_flood settings|resources RATE SECONDS [SIZE]\n");
        return 2;
    }
    const bool settings = std::strcmp(argv[1], "settings") == 0;
    const double rate = std::atof(argv[2]);
    const double seconds = std::atof(argv[3]);
    const std::size_t size = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1 << 20;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const ::Window root = DefaultRootWindow(display);
    const Atom property = settings ? XInternAtom(display, "_XSETTINGS_SETTINGS", False) : XA_RESOURCE_MANAGER;
    const Atom type = settings ? property : XA_STRING;
    std::string bytes = settings ? settingsList(size) : resources(size);
    ::Window target = root;
    if (settings) {
        target = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
        const Atom selection = XInternAtom(display, "_XSETTINGS_S0", False);
        XChangeProperty(display, target, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        XSetSelectionOwner(display, selection, target, CurrentTime);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = root;
        event.xclient.message_type = XInternAtom(display, "MANAGER", False);
        event.xclient.format = 32;
        event.xclient.data.l[1] = static_cast<long>(selection);
        event.xclient.data.l[2] = static_cast<long>(target);
        XSendEvent(display, root, False, StructureNotifyMask, &event);
    }
    XSync(display, False);
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long written = 0;
    for (;;) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed >= seconds) break;
        if (written > elapsed * rate) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        if (settings) bytes[4] = static_cast<char>(written);  // a new serial each time
        XChangeProperty(display, target, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
        XSync(display, False);
        ++written;
    }
    std::printf("%ld rewrites in %.1f s\n", written, seconds);
    XCloseDisplay(display);
    return 0;
}
