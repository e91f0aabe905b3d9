// An XDND (version 5) drag source for tests: offers files as text/uri-list
// to one window and reports whether the drop was taken.
//
//   xdnd_send (--window ID | --name TITLE) [--at X,Y] [--timeout SECONDS]
//             [--incr BYTES] [--leave-after-drop] [--withhold-data]
//             [--uri URI]... [--] FILE...
//
// --at is the drop point in the target's coordinates (default: its centre).
// --uri adds a line to the list as given, for malformed or remote URIs.
// --incr hands the list over in INCR chunks of that many bytes.
// --leave-after-drop sends XdndLeave right after XdndDrop, as wlroots does
// for a drag that comes from a Wayland program.
// --withhold-data never answers the target's request for the list.
// Exit status: 0 the target finished the drop with success, 1 usage,
// 2 the target refused, 3 it finished without success, 4 timeout,
// 5 no such target.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Options {
    Window window = 0;
    std::string name;
    std::optional<std::pair<int, int>> at;
    double timeout = 10;
    size_t incrChunk = 0;
    bool leaveAfterDrop = false;
    bool withholdData = false;
    std::vector<std::string> lines;  // the uri-list, one entry a line
};

struct Atoms {
    Atom aware, enter, position, status, leave, drop, finished, selection, actionCopy, uriList, targets, incr,
        netWmName, utf8, timestamp;
};

using Clock = std::chrono::steady_clock;

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: xdnd_send (--window ID | --name TITLE) [--at X,Y] [--timeout SECONDS] [--incr BYTES]\n"
                 "                 [--leave-after-drop] [--withhold-data] [--uri URI]... [--] FILE...\n");
    std::exit(1);
}

std::string fileUri(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) absolute = std::string(cwd) + "/" + absolute;
    }
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : absolute) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri.push_back(static_cast<char>(c));
        } else {
            uri.push_back('%');
            uri.push_back(hex[c >> 4]);
            uri.push_back(hex[c & 15]);
        }
    }
    return uri;
}

Options parse(int argc, char** argv) {
    Options o;
    bool filesOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        if (filesOnly || arg.empty() || arg[0] != '-') {
            o.lines.push_back(fileUri(arg));
        } else if (arg == "--") {
            filesOnly = true;
        } else if (arg == "--window") {
            o.window = std::strtoul(value().c_str(), nullptr, 0);
        } else if (arg == "--name") {
            o.name = value();
        } else if (arg == "--at") {
            int x, y;
            if (std::sscanf(value().c_str(), "%d,%d", &x, &y) != 2) usage();
            o.at = {x, y};
        } else if (arg == "--timeout") {
            o.timeout = std::atof(value().c_str());
        } else if (arg == "--incr") {
            o.incrChunk = std::strtoul(value().c_str(), nullptr, 10);
        } else if (arg == "--leave-after-drop") {
            o.leaveAfterDrop = true;
        } else if (arg == "--withhold-data") {
            o.withholdData = true;
        } else if (arg == "--uri") {
            o.lines.push_back(value());
        } else {
            usage();
        }
    }
    if ((!o.window && o.name.empty()) || o.lines.empty()) usage();
    return o;
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

std::string windowName(Display* d, Window w, const Atoms& a) {
    for (Atom property : {a.netWmName, static_cast<Atom>(XA_WM_NAME)}) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string name;
        bool found = XGetWindowProperty(d, w, property, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after,
                                        &data) == Success &&
                     data && format == 8;
        if (found) name.assign(reinterpret_cast<char*>(data), count);
        if (data) XFree(data);
        if (found) return name;
    }
    return {};
}

long xdndVersion(Display* d, Window w, const Atoms& a) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long version = -1;
    if (XGetWindowProperty(d, w, a.aware, 0, 1, False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data && format == 32 && count == 1)
        version = reinterpret_cast<long*>(data)[0];
    if (data) XFree(data);
    return version;
}

// The first window in the tree below `w` with that title and XdndAware.
Window findByName(Display* d, Window w, const std::string& name, const Atoms& a) {
    if (xdndVersion(d, w, a) >= 0 && windowName(d, w, a) == name) return w;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) found = findByName(d, children[i], name, a);
    if (children) XFree(children);
    return found;
}

// Waits for the next event until `deadline`; false on timeout.
bool nextEvent(Display* d, XEvent* event, Clock::time_point deadline) {
    while (!XPending(d)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd fd = {ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left));
    }
    XNextEvent(d, event);
    return true;
}

void sendMessage(Display* d, Window to, Atom type, long l0, long l1, long l2, long l3, long l4) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = to;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    long values[5] = {l0, l1, l2, l3, l4};
    for (int i = 0; i < 5; ++i) e.xclient.data.l[i] = values[i];
    XSendEvent(d, to, False, NoEventMask, &e);
    XFlush(d);
}

// An INCR transfer in progress: the requestor deletes the property for each
// next chunk, and a chunk of length 0 ends it.
struct Incr {
    Window requestor = 0;
    Atom property = 0;
    size_t offset = 0;
    bool active = false;
};

int drag(Display* d, const Options& options) {
    Atoms a;
    a.aware = XInternAtom(d, "XdndAware", False);
    a.enter = XInternAtom(d, "XdndEnter", False);
    a.position = XInternAtom(d, "XdndPosition", False);
    a.status = XInternAtom(d, "XdndStatus", False);
    a.leave = XInternAtom(d, "XdndLeave", False);
    a.drop = XInternAtom(d, "XdndDrop", False);
    a.finished = XInternAtom(d, "XdndFinished", False);
    a.selection = XInternAtom(d, "XdndSelection", False);
    a.actionCopy = XInternAtom(d, "XdndActionCopy", False);
    a.uriList = XInternAtom(d, "text/uri-list", False);
    a.targets = XInternAtom(d, "TARGETS", False);
    a.incr = XInternAtom(d, "INCR", False);
    a.netWmName = XInternAtom(d, "_NET_WM_NAME", False);
    a.utf8 = XInternAtom(d, "UTF8_STRING", False);
    a.timestamp = XInternAtom(d, "XDND_SEND_TIME", False);
    const Window root = DefaultRootWindow(d);
    const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<long>(options.timeout * 1000));

    Window target = options.window;
    while (!target) {
        target = findByName(d, root, options.name, a);
        if (target) break;
        if (Clock::now() >= deadline) {
            std::fprintf(stderr, "xdnd_send: no XdndAware window named \"%s\"\n", options.name.c_str());
            return 5;
        }
        usleep(100 * 1000);
    }
    long theirVersion = xdndVersion(d, target, a);
    if (theirVersion < 3) {
        std::fprintf(stderr, "xdnd_send: window 0x%lx is not an XDND target\n", target);
        return 5;
    }
    const long version = theirVersion < 5 ? theirVersion : 5;

    std::string list;
    for (const std::string& line : options.lines) list += line + "\r\n";

    // A real server timestamp for owning the selection and for the drop.
    Window source = XCreateSimpleWindow(d, root, -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(d, source, PropertyChangeMask);
    XChangeProperty(d, source, a.timestamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
    Time now = CurrentTime;
    for (XEvent e; now == CurrentTime;) {
        if (!nextEvent(d, &e, deadline)) return 4;
        if (e.type == PropertyNotify && e.xproperty.window == source) now = e.xproperty.time;
    }
    XSetSelectionOwner(d, a.selection, source, now);

    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, target, &attributes)) return 5;
    int x = options.at ? options.at->first : attributes.width / 2;
    int y = options.at ? options.at->second : attributes.height / 2;
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(d, target, root, x, y, &rootX, &rootY, &child);

    sendMessage(d, target, a.enter, static_cast<long>(source), version << 24, static_cast<long>(a.uriList), 0, 0);
    sendMessage(d, target, a.position, static_cast<long>(source), 0, (rootX & 0xFFFF) << 16 | (rootY & 0xFFFF),
                static_cast<long>(now), static_cast<long>(a.actionCopy));

    bool dropped = false;
    Incr incr;
    XEvent e;
    while (nextEvent(d, &e, deadline)) {
        if (e.type == ClientMessage && e.xclient.message_type == a.status &&
            static_cast<Window>(e.xclient.data.l[0]) == target && !dropped) {
            if (!(e.xclient.data.l[1] & 1)) {
                sendMessage(d, target, a.leave, static_cast<long>(source), 0, 0, 0, 0);
                std::fprintf(stderr, "xdnd_send: the target refused the drop\n");
                return 2;
            }
            dropped = true;
            sendMessage(d, target, a.drop, static_cast<long>(source), 0, static_cast<long>(now), 0, 0);
            if (options.leaveAfterDrop) sendMessage(d, target, a.leave, static_cast<long>(source), 0, 0, 0, 0);
        } else if (e.type == ClientMessage && e.xclient.message_type == a.finished &&
                   static_cast<Window>(e.xclient.data.l[0]) == target) {
            bool success = version < 5 || (e.xclient.data.l[1] & 1);
            if (!success) std::fprintf(stderr, "xdnd_send: the target finished without success\n");
            return success ? 0 : 3;
        } else if (e.type == SelectionRequest && !options.withholdData) {
            const XSelectionRequestEvent& r = e.xselectionrequest;
            XEvent reply{};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = r.requestor;
            reply.xselection.selection = r.selection;
            reply.xselection.target = r.target;
            reply.xselection.time = r.time;
            reply.xselection.property = r.property ? r.property : r.target;
            if (r.target == a.uriList) {
                if (options.incrChunk && list.size() > options.incrChunk) {
                    long size = static_cast<long>(list.size());
                    XSelectInput(d, r.requestor, PropertyChangeMask);
                    XChangeProperty(d, r.requestor, reply.xselection.property, a.incr, 32, PropModeReplace,
                                    reinterpret_cast<unsigned char*>(&size), 1);
                    incr = {r.requestor, reply.xselection.property, 0, true};
                } else {
                    XChangeProperty(d, r.requestor, reply.xselection.property, a.uriList, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(list.data()), static_cast<int>(list.size()));
                }
            } else if (r.target == a.targets) {
                Atom offered[] = {a.targets, a.uriList};
                XChangeProperty(d, r.requestor, reply.xselection.property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<unsigned char*>(offered), 2);
            } else {
                reply.xselection.property = None;
            }
            XSendEvent(d, r.requestor, False, NoEventMask, &reply);
            XFlush(d);
        } else if (e.type == PropertyNotify && incr.active && e.xproperty.window == incr.requestor &&
                   e.xproperty.atom == incr.property && e.xproperty.state == PropertyDelete) {
            size_t length = std::min(options.incrChunk, list.size() - incr.offset);
            XChangeProperty(d, incr.requestor, incr.property, a.uriList, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(list.data() + incr.offset),
                            static_cast<int>(length));
            incr.offset += length;
            if (length == 0) incr.active = false;
            XFlush(d);
        }
    }
    std::fprintf(stderr, "xdnd_send: timed out %s\n", dropped ? "waiting for XdndFinished" : "waiting for XdndStatus");
    if (!dropped) sendMessage(d, target, a.leave, static_cast<long>(source), 0, 0, 0, 0);
    return 4;
}

}  // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "xdnd_send: cannot open display\n");
        return 5;
    }
    XSetErrorHandler(ignoreErrors);
    int status = drag(d, options);
    XCloseDisplay(d);
    return status;
}
