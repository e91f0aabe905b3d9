// The desktop's scale, and following it: the settings manager's settings
// (its owner window is watched for new settings and for going away, and the
// root for a new manager's announcement) and the X resources on the root.
// What the environment says stays the process's choice throughout.
#include <X11/Xatom.h>

#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

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
            m_scaleSources.xftDpiResource = readXftDpiResource(m_display, m_root);
            rescale();
        } else if (m_xsettingsOwner && property.window == m_xsettingsOwner &&
                   property.atom == m_atoms.xsettingsSettings) {
            readXSettingsScale(m_display, m_xsettingsOwner, m_atoms.xsettingsSettings, &m_scaleSources);
            rescale();
        }
        break;
    }
    case DestroyNotify:
        if (!m_xsettingsOwner || event.xdestroywindow.window != m_xsettingsOwner) break;
        findXSettingsOwner();  // a successor may be waiting already
        readXSettingsScale(m_display, m_xsettingsOwner, m_atoms.xsettingsSettings, &m_scaleSources);
        rescale();
        break;
    case ClientMessage: {
        const XClientMessageEvent& message = event.xclient;
        if (message.window != m_root || message.message_type != m_atoms.manager || message.format != 32 ||
            static_cast<Atom>(message.data.l[1]) != m_atoms.xsettingsSelection)
            break;
        findXSettingsOwner();
        readXSettingsScale(m_display, m_xsettingsOwner, m_atoms.xsettingsSettings, &m_scaleSources);
        rescale();
        break;
    }
    default: break;
    }
}

void X11Backend::rescale() {
    const double scale = chooseScale(m_scaleSources);
    if (scale == m_scale) return;
    m_scale = scale;
    ++m_scaleChanges;
    win32::onScaleChanged();
}

}  // namespace x11
