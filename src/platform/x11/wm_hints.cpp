// What the window manager is told of a window and asked for it: title,
// type, decorations, size hints and class, states, icon, activation; and
// what it says it supports.
#include <X11/Xatom.h>

#include <cctype>
#include <cerrno>
#include <utility>

#include "platform/x11/icon.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

std::string programName() {
    std::string name = program_invocation_short_name ? program_invocation_short_name : "";
    return name.empty() ? std::string("ostrel") : name;
}

}  // namespace

void X11Backend::setWmState(WindowState& window) {
    std::vector<Atom> states;
    if (window.desc.topmost) states.push_back(m_atoms.netWmStateAbove);
    if (window.desc.toolWindow) {
        states.push_back(m_atoms.netWmStateSkipTaskbar);
        states.push_back(m_atoms.netWmStateSkipPager);
    }
    // A window kept above all others belongs to every workspace, as one
    // expects of a player strip; window managers without workspaces ignore it.
    if (onEveryWorkspace(window)) {
        states.push_back(m_atoms.netWmStateSticky);
        unsigned long everyDesktop = 0xFFFFFFFFu;
        XChangeProperty(m_display, window.xid, m_atoms.netWmDesktop, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&everyDesktop), 1);
    }
    if (states.empty()) {
        XDeleteProperty(m_display, window.xid, m_atoms.netWmState);
        return;
    }
    XChangeProperty(m_display, window.xid, m_atoms.netWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(states.data()), static_cast<int>(states.size()));
}

void X11Backend::setTitle(::Window xid, const std::string& title) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
    const int length = static_cast<int>(title.size());
    XChangeProperty(m_display, xid, m_atoms.netWmName, m_atoms.utf8String, 8, PropModeReplace, bytes, length);
    bool ascii = true;
    for (unsigned char c : title) ascii = ascii && c < 0x80;
    // WM_NAME is Latin-1 by type STRING; non-ASCII titles go as UTF8_STRING,
    // which current window managers read.
    XChangeProperty(m_display, xid, XA_WM_NAME, ascii ? XA_STRING : m_atoms.utf8String, 8, PropModeReplace, bytes,
                    length);
}

void X11Backend::setWindowType(::Window xid, Atom type) {
    XChangeProperty(m_display, xid, m_atoms.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
}

void X11Backend::setMotifBorderless(::Window xid) {
    long hints[5] = {2 /* decorations field valid */, 0, 0 /* no decorations */, 0, 0};
    XChangeProperty(m_display, xid, m_atoms.motifWmHints, m_atoms.motifWmHints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(hints), 5);
}

bool X11Backend::wmRunning() {
    auto readWindow = [&](::Window on, ::Window* out) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        bool ok = XGetWindowProperty(m_display, on, m_atoms.netSupportingWmCheck, 0, 1, False, XA_WINDOW, &type,
                                     &format, &count, &after, &data) == Success &&
                  type == XA_WINDOW && format == 32 && count == 1;
        if (ok) *out = static_cast<::Window>(reinterpret_cast<unsigned long*>(data)[0]);
        if (data) XFree(data);
        return ok;
    };
    // The check window names itself only while its window manager runs.
    ::Window check = 0, self = 0;
    return readWindow(m_root, &check) && readWindow(check, &self) && self == check;
}

bool X11Backend::wmSupports(Atom feature) {
    if (!wmRunning()) return false;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(m_display, m_root, m_atoms.netSupported, 0, 4096, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        type == XA_ATOM && format == 32) {
        const auto* atoms = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count && !found; ++i) found = atoms[i] == feature;
    }
    if (data) XFree(data);
    return found;
}

void X11Backend::setFixedSizeHints(::Window xid, int x, int y, int width, int height, long positionFlags,
                                   bool withClass) {
    XSizeHints* size = XAllocSizeHints();
    size->flags = PSize | PMinSize | PMaxSize | positionFlags;
    size->x = x;
    size->y = y;
    size->width = size->min_width = size->max_width = width;
    size->height = size->min_height = size->max_height = height;
    XWMHints* wm = XAllocWMHints();
    wm->flags = InputHint | StateHint;
    wm->input = True;
    wm->initial_state = NormalState;
    XClassHint* classHint = nullptr;
    std::string resName = programName();
    std::string resClass = resName;
    if (withClass) {
        resClass[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(resClass[0])));
        classHint = XAllocClassHint();
        classHint->res_name = resName.data();
        classHint->res_class = resClass.data();
    }
    XSetWMProperties(m_display, xid, nullptr, nullptr, nullptr, 0, size, wm, classHint);
    XFree(size);
    XFree(wm);
    if (classHint) XFree(classHint);
}

void X11Backend::sendClientMessage(::Window destination, long mask, ::Window about, Atom type, long l0, long l1,
                                   long l2, long l3, long l4) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = about;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(m_display, destination, False, mask, &event);
}

void X11Backend::sendToRoot(::Window about, Atom type, long l0, long l1, long l2, long l3, long l4) {
    sendClientMessage(m_root, SubstructureRedirectMask | SubstructureNotifyMask, about, type, l0, l1, l2, l3, l4);
}

void X11Backend::setIcon(win32::NativeWindow window, int width, int height, const std::vector<std::uint32_t>& argb) {
    WindowState* state = find(static_cast<::Window>(window));
    if (!state) return;
    std::vector<unsigned long> property = iconProperty(width, height, argb);
    if (property.empty()) return;
    XChangeProperty(m_display, state->xid, m_atoms.netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(property.data()), static_cast<int>(property.size()));
    XFlush(m_display);
}

void X11Backend::setForeground(win32::NativeWindow window) {
    // Asked on the loop's next turn: whether a window manager takes the
    // request is read with round trips, which the first paint of a window
    // just shown need not wait for.
    m_foregroundPending = static_cast<::Window>(window);
}

void X11Backend::activatePending() {
    WindowState* state = find(std::exchange(m_foregroundPending, 0));
    if (!state) return;
    if (wmSupports(m_atoms.netActiveWindow)) {
        sendToRoot(state->xid, m_atoms.netActiveWindow, 1 /* from an application */, static_cast<long>(m_lastTime), 0,
                   0, 0);
    } else {
        XRaiseWindow(m_display, state->xid);
        XWindowAttributes attributes;
        // Focusing an unmapped window is an error.
        if (XGetWindowAttributes(m_display, state->xid, &attributes) && attributes.map_state == IsViewable)
            XSetInputFocus(m_display, state->xid, RevertToParent, CurrentTime);
    }
    XFlush(m_display);
}

}  // namespace x11
