// Drops: the target side of XDND version 5 for text/uri-list.
#include <X11/Xatom.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "platform/x11/uri_list.h"
#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

constexpr int kXdndVersion = 5;
constexpr size_t kMaxDropBytes = 16u << 20;  // a hostile source could stream forever
// How long a drop waits for its data. A list of paths takes milliseconds;
// a source that never answers must not keep its drop open for good.
constexpr int kDropDataWaitSeconds = 5;

}  // namespace

void X11Backend::xdndSend(::Window to, Atom type, long l0, long l1, long l2, long l3, long l4) {
    sendClientMessage(to, NoEventMask, to, type, l0, l1, l2, l3, l4);
    XFlush(m_display);
}

void X11Backend::xdndEnter(WindowState& window, const XClientMessageEvent& event) {
    m_drag = DragState{};
    if (!window.desc.acceptFiles) return;
    m_drag.source = static_cast<::Window>(event.data.l[0]);
    m_drag.target = window.xid;
    // A newer source speaks our version to us.
    const int offered = static_cast<int>((static_cast<unsigned long>(event.data.l[1]) >> 24) & 0xFF);
    m_drag.version = std::min(kXdndVersion, offered);

    if (event.data.l[1] & 1) {
        // More than three types: the list is on the source window.
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, m_drag.source, m_atoms.xdndTypeList, 0, 1024, False, XA_ATOM, &type, &format,
                               &count, &after, &data) == Success &&
            type == XA_ATOM && format == 32) {
            const auto* atoms = reinterpret_cast<const unsigned long*>(data);
            for (unsigned long i = 0; i < count; ++i) m_drag.offersUriList |= atoms[i] == m_atoms.uriList;
        }
        if (data) XFree(data);
    } else {
        for (int i = 2; i <= 4; ++i) m_drag.offersUriList |= static_cast<Atom>(event.data.l[i]) == m_atoms.uriList;
    }
}

void X11Backend::xdndPosition(WindowState& window, const XClientMessageEvent& event) {
    const auto source = static_cast<::Window>(event.data.l[0]);
    if (source != m_drag.source || window.xid != m_drag.target) {
        // A position without an Enter we took: refuse it so the source moves on.
        xdndSend(source, m_atoms.xdndStatus, static_cast<long>(window.xid), 0, 0, 0, None);
        return;
    }
    const auto packed = static_cast<unsigned long>(event.data.l[2]);
    m_drag.root = {static_cast<std::int16_t>((packed >> 16) & 0xFFFF), static_cast<std::int16_t>(packed & 0xFFFF)};
    m_drag.accepted = m_drag.offersUriList;
    // Bit 1 asks for positions all over the window; an empty rectangle says the same.
    xdndSend(source, m_atoms.xdndStatus, static_cast<long>(window.xid), m_drag.accepted ? 3 : 2, 0, 0,
             m_drag.accepted ? static_cast<long>(m_atoms.xdndActionCopy) : None);
}

void X11Backend::xdndLeave(const XClientMessageEvent& event) {
    // wlroots follows a drop with a leave at once, while the data is still
    // on its way: a dropped drag ends with its data or its timeout instead.
    if (static_cast<::Window>(event.data.l[0]) == m_drag.source && !m_drag.awaitingData) m_drag = DragState{};
}

void X11Backend::xdndDrop(WindowState& window, const XClientMessageEvent& event) {
    const auto source = static_cast<::Window>(event.data.l[0]);
    if (source != m_drag.source || window.xid != m_drag.target || m_drag.awaitingData) return;
    if (!m_drag.accepted) {
        xdndFinish(false);
        return;
    }
    m_drag.awaitingData = true;
    // The drop's own timestamp: with another, some sources hand over the
    // previous drag's data.
    XDeleteProperty(m_display, window.xid, m_atoms.dropProperty);
    XConvertSelection(m_display, m_atoms.xdndSelection, m_atoms.uriList, m_atoms.dropProperty, window.xid,
                      static_cast<Time>(event.data.l[2]));
    XFlush(m_display);
    xdndArmDataTimer(true);
}

void X11Backend::xdndFinish(bool success) {
    if (!m_drag.source) return;
    xdndArmDataTimer(false);
    xdndSend(m_drag.source, m_atoms.xdndFinished, static_cast<long>(m_drag.target), success ? 1 : 0,
             success ? static_cast<long>(m_atoms.xdndActionCopy) : None, 0, 0);
    m_drag = DragState{};
}

void X11Backend::xdndArmDataTimer(bool arm) {
    if (m_dropTimer < 0) return;
    itimerspec due{};
    if (arm) due.it_value.tv_sec = kDropDataWaitSeconds;
    timerfd_settime(m_dropTimer, 0, &due, nullptr);
}

void X11Backend::xdndDataTimer() {
    if (m_dropTimer < 0) return;
    std::uint64_t expirations = 0;
    if (read(m_dropTimer, &expirations, sizeof expirations) != sizeof expirations || expirations == 0) return;
    if (m_drag.awaitingData) xdndFinish(false);
}

void X11Backend::xdndDeliver(WindowState& window, const std::string& list) {
    const POINT root = m_drag.root;
    std::vector<std::string> paths = parseUriList(list, m_hostname);
    // Finished goes out first: the source is blocked until it arrives.
    xdndFinish(!paths.empty());
    if (paths.empty()) return;
    POINT origin{};
    rootOrigin(window.xid, &origin);
    win32::onDrop(window.xid, paths, POINT{root.x - origin.x, root.y - origin.y});
}

bool X11Backend::takeDropProperty(::Window window, Atom* type, std::string* bytes) {
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    // Deleting the property is also how INCR asks for the next chunk.
    if (XGetWindowProperty(m_display, window, m_atoms.dropProperty, 0, kMaxDropBytes / 4, True, AnyPropertyType, type,
                           &format, &count, &after, &data) != Success)
        return false;
    bytes->clear();
    if (data && format == 8) bytes->assign(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    return true;
}

void X11Backend::xdndSelectionNotify(WindowState& window, const XSelectionEvent& event) {
    if (!m_drag.awaitingData || window.xid != m_drag.target || event.selection != m_atoms.xdndSelection) return;
    Atom type;
    std::string list;
    if (event.property == None || !takeDropProperty(window.xid, &type, &list)) {
        xdndFinish(false);
        return;
    }
    if (type == m_atoms.incr) {
        m_drag.incr = true;
        m_drag.data.clear();
        XFlush(m_display);
        return;
    }
    xdndDeliver(window, list);
}

void X11Backend::xdndPropertyNotify(WindowState& window, const XPropertyEvent& event) {
    if (!m_drag.incr || window.xid != m_drag.target || event.atom != m_atoms.dropProperty ||
        event.state != PropertyNewValue)
        return;
    Atom type;
    std::string chunk;
    if (!takeDropProperty(window.xid, &type, &chunk)) {
        xdndFinish(false);
        return;
    }
    m_drag.data += chunk;
    if (m_drag.data.size() > kMaxDropBytes) {
        xdndFinish(false);
        return;
    }
    if (!chunk.empty()) return;  // an empty chunk ends an INCR transfer

    std::string list = std::move(m_drag.data);
    xdndDeliver(window, list);
}

}  // namespace x11
