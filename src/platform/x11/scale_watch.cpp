// The desktop's scale, and following it: the settings manager's settings
// (its owner window is watched for new settings and for going away, and the
// root for a new manager's announcement) and the X resources on the root.
// What the environment says stays the process's choice throughout.
// Another client can rewrite those properties as often as it likes: changes
// are read at most once every kSettingsReadGap, the latest of them.
#include <X11/Xatom.h>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

// Far more often than a person changes the scale.
constexpr auto kSettingsReadGap = std::chrono::milliseconds(250);

// Adds `mask` to what this client already hears from `window`.
void addEventMask(Display* display, ::Window window, long mask) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return;
    XSelectInput(display, window, attributes.your_event_mask | mask);
}

}  // namespace

void X11Backend::watchScale() {
    // A new manager announces itself to the root's StructureNotify listeners.
    addEventMask(m_display, m_root, PropertyChangeMask | StructureNotifyMask);
    m_scaleSources = environmentScaleSources();
    findXSettingsOwner();
    readXSettingsScale(m_display, m_xsettingsOwner, m_atoms.xsettingsSettings, &m_scaleSources);
    m_scaleSources.xftDpiResource = readXftDpiResource(m_display, m_root);
    m_scale = chooseScale(m_scaleSources);
    m_settingsReadAt = std::chrono::steady_clock::now();
    m_settingsTimer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_settingsTimer >= 0 && m_epoll >= 0) {
        epoll_event watch{};
        watch.events = EPOLLIN;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_settingsTimer, &watch);
    }
}

void X11Backend::findXSettingsOwner() {
    // Held so that the owner cannot go between being named and being watched.
    XGrabServer(m_display);
    m_xsettingsOwner = XGetSelectionOwner(m_display, m_atoms.xsettingsSelection);
    if (m_xsettingsOwner) addEventMask(m_display, m_xsettingsOwner, PropertyChangeMask | StructureNotifyMask);
    XUngrabServer(m_display);
    XFlush(m_display);
}

void X11Backend::scaleEvent(const XEvent& event) {
    switch (event.type) {
    case PropertyNotify: {
        const XPropertyEvent& property = event.xproperty;
        if (property.window == m_root && property.atom == XA_RESOURCE_MANAGER) {
            m_resourcesChanged = true;
            settingsChanged();
        } else if (m_xsettingsOwner && property.window == m_xsettingsOwner &&
                   property.atom == m_atoms.xsettingsSettings) {
            m_xsettingsChanged = true;
            settingsChanged();
        }
        break;
    }
    case DestroyNotify:
        if (!m_xsettingsOwner || event.xdestroywindow.window != m_xsettingsOwner) break;
        m_xsettingsOwnerChanged = true;  // a successor may be waiting already
        settingsChanged();
        break;
    case ClientMessage: {
        const XClientMessageEvent& message = event.xclient;
        if (message.window != m_root || message.message_type != m_atoms.manager || message.format != 32 ||
            static_cast<Atom>(message.data.l[1]) != m_atoms.xsettingsSelection)
            break;
        m_xsettingsOwnerChanged = true;
        settingsChanged();
        break;
    }
    default: break;
    }
}

void X11Backend::settingsChanged() {
    const auto due = m_settingsReadAt + kSettingsReadGap;
    const auto now = std::chrono::steady_clock::now();
    if (now >= due || m_settingsTimer < 0) {
        readChangedSettings();
        return;
    }
    itimerspec armed{};
    timerfd_gettime(m_settingsTimer, &armed);
    if (armed.it_value.tv_sec || armed.it_value.tv_nsec) return;
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(due - now).count();
    armed.it_value.tv_sec = static_cast<time_t>(wait / 1000000000);
    armed.it_value.tv_nsec = static_cast<long>(wait % 1000000000);
    timerfd_settime(m_settingsTimer, 0, &armed, nullptr);
}

void X11Backend::settingsTimer() {
    if (m_settingsTimer < 0) return;
    std::uint64_t expirations = 0;
    if (read(m_settingsTimer, &expirations, sizeof expirations) != sizeof expirations || expirations == 0) return;
    readChangedSettings();
}

void X11Backend::readChangedSettings() {
    if (!settingsReadPending()) return;
    if (std::exchange(m_resourcesChanged, false)) m_scaleSources.xftDpiResource = readXftDpiResource(m_display, m_root);
    if (std::exchange(m_xsettingsOwnerChanged, false)) {
        findXSettingsOwner();
        m_xsettingsChanged = true;
    }
    if (std::exchange(m_xsettingsChanged, false))
        readXSettingsScale(m_display, m_xsettingsOwner, m_atoms.xsettingsSettings, &m_scaleSources);
    m_settingsReadAt = std::chrono::steady_clock::now();
    ++m_settingsReads;
    rescale();
}

void X11Backend::rescale() {
    const double scale = chooseScale(m_scaleSources);
    if (scale == m_scale) return;
    m_scale = scale;
    ++m_scaleChanges;
    win32::onScaleChanged();
}

}  // namespace x11
