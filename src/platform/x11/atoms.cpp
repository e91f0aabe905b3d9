// The atoms the backend uses, as data: one request and one reply for them
// all, not a round trip each.
#include <iterator>
#include <string>

#include "platform/x11/x11_internal.h"

namespace x11 {

namespace {

struct AtomName {
    Atom Atoms::*atom;
    const char* name;
    bool perScreen;  // the screen's number follows the name
};

constexpr AtomName kAtomNames[] = {
    {&Atoms::wmProtocols, "WM_PROTOCOLS", false},
    {&Atoms::wmDeleteWindow, "WM_DELETE_WINDOW", false},
    {&Atoms::wmTransientFor, "WM_TRANSIENT_FOR", false},
    {&Atoms::utf8String, "UTF8_STRING", false},
    {&Atoms::netWmName, "_NET_WM_NAME", false},
    {&Atoms::netWmPid, "_NET_WM_PID", false},
    {&Atoms::netWmState, "_NET_WM_STATE", false},
    {&Atoms::netWmStateAbove, "_NET_WM_STATE_ABOVE", false},
    {&Atoms::netWmStateSkipTaskbar, "_NET_WM_STATE_SKIP_TASKBAR", false},
    {&Atoms::netWmStateSkipPager, "_NET_WM_STATE_SKIP_PAGER", false},
    {&Atoms::netWmStateModal, "_NET_WM_STATE_MODAL", false},
    {&Atoms::netWmStateSticky, "_NET_WM_STATE_STICKY", false},
    {&Atoms::netWmDesktop, "_NET_WM_DESKTOP", false},
    {&Atoms::netWmWindowType, "_NET_WM_WINDOW_TYPE", false},
    {&Atoms::netWmWindowTypeUtility, "_NET_WM_WINDOW_TYPE_UTILITY", false},
    {&Atoms::netWmWindowTypePopupMenu, "_NET_WM_WINDOW_TYPE_POPUP_MENU", false},
    {&Atoms::netWmWindowTypeDialog, "_NET_WM_WINDOW_TYPE_DIALOG", false},
    {&Atoms::netSupported, "_NET_SUPPORTED", false},
    {&Atoms::netSupportingWmCheck, "_NET_SUPPORTING_WM_CHECK", false},
    {&Atoms::netWmMoveresize, "_NET_WM_MOVERESIZE", false},
    {&Atoms::netMoveresizeWindow, "_NET_MOVERESIZE_WINDOW", false},
    {&Atoms::netActiveWindow, "_NET_ACTIVE_WINDOW", false},
    {&Atoms::netWmIcon, "_NET_WM_ICON", false},
    {&Atoms::netWmWindowOpacity, "_NET_WM_WINDOW_OPACITY", false},
    {&Atoms::motifWmHints, "_MOTIF_WM_HINTS", false},
    {&Atoms::kdeBlurBehindRegion, "_KDE_NET_WM_BLUR_BEHIND_REGION", false},
    {&Atoms::netWmCmS, "_NET_WM_CM_S", true},
    {&Atoms::xdndAware, "XdndAware", false},
    {&Atoms::xdndEnter, "XdndEnter", false},
    {&Atoms::xdndPosition, "XdndPosition", false},
    {&Atoms::xdndStatus, "XdndStatus", false},
    {&Atoms::xdndLeave, "XdndLeave", false},
    {&Atoms::xdndDrop, "XdndDrop", false},
    {&Atoms::xdndFinished, "XdndFinished", false},
    {&Atoms::xdndSelection, "XdndSelection", false},
    {&Atoms::xdndTypeList, "XdndTypeList", false},
    {&Atoms::xdndActionCopy, "XdndActionCopy", false},
    {&Atoms::uriList, "text/uri-list", false},
    {&Atoms::dropProperty, "OSTREL_DROP", false},
    {&Atoms::incr, "INCR", false},
    {&Atoms::xsettingsSelection, "_XSETTINGS_S", true},
    {&Atoms::xsettingsSettings, "_XSETTINGS_SETTINGS", false},
    {&Atoms::manager, "MANAGER", false},
};

constexpr bool eachAtomOnce() {
    for (const AtomName& a : kAtomNames) {
        int seen = 0;
        for (const AtomName& b : kAtomNames) seen += a.atom == b.atom;
        if (seen != 1) return false;
    }
    return true;
}
// A member left out of the table would stay None.
static_assert(std::size(kAtomNames) == sizeof(Atoms) / sizeof(Atom) && eachAtomOnce(), "every atom has one name");

}  // namespace

void internAtoms(Display* display, int screen, Atoms* atoms) {
    constexpr int kCount = static_cast<int>(std::size(kAtomNames));
    std::string names[kCount];
    char* nameList[kCount];
    Atom values[kCount] = {};
    for (int i = 0; i < kCount; ++i) {
        names[i] = kAtomNames[i].name;
        if (kAtomNames[i].perScreen) names[i] += std::to_string(screen);
        nameList[i] = names[i].data();
    }
    XInternAtoms(display, nameList, kCount, False, values);
    for (int i = 0; i < kCount; ++i) atoms->*kAtomNames[i].atom = values[i];
}

}  // namespace x11
