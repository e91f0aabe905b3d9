// Notification-area icons: the records Shell_NotifyIconW keeps, the backend
// that shows them, and the pointer input it reports turned into each icon's
// callback message. A window hidden while no tray shows its icon would be
// out of reach, so losing the tray iconifies it instead.
#include <algorithm>
#include <vector>

#include "platform/win32/internal/events.h"
#include "platform/win32/internal/icon.h"
#include "platform/win32/internal/notify_icons.h"
#include "platform/win32/internal/strings.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/shell.h"

namespace win32 {
namespace {

// The first form of the record, as Windows sizes it; later forms are larger.
constexpr DWORD kSmallestSize = 88;

struct NotifyIcon {
    unsigned id = 0;  // the backend's key
    HWND hwnd = nullptr;
    UINT uID = 0;
    UINT callback = 0;  // 0 without NIF_MESSAGE
    bool pressValid = false;
    DWORD pressTime = 0;
};

struct NotifyIcons {
    std::vector<NotifyIcon> icons;  // UI thread only
    unsigned nextId = 1;
};

NotifyIcons& registry() {
    static NotifyIcons* instance = new NotifyIcons;
    return *instance;
}

NotifyIcon* findById(unsigned id) {
    for (auto& icon : registry().icons)
        if (icon.id == id) return &icon;
    return nullptr;
}

std::vector<NotifyIcon>::iterator findByOwner(HWND hwnd, UINT uID) {
    auto& icons = registry().icons;
    return std::find_if(icons.begin(), icons.end(),
                        [&](const NotifyIcon& i) { return i.hwnd == hwnd && i.uID == uID; });
}

std::wstring tipOf(const NOTIFYICONDATAW& data) {
    const WCHAR* end = std::find(data.szTip, data.szTip + 128, L'\0');
    return std::wstring(data.szTip, end);
}

UINT mouseMessage(NotifyIcon& icon, const PointerEvent& e) {
    switch (e.action) {
    case PointerAction::Move: return WM_MOUSEMOVE;
    case PointerAction::Release: return e.button == 1 ? WM_LBUTTONUP : e.button == 3 ? WM_RBUTTONUP : 0;
    case PointerAction::Press: break;
    }
    if (e.button == 3) return WM_RBUTTONDOWN;
    if (e.button != 1) return 0;
    bool doubleClick = icon.pressValid && e.time - icon.pressTime <= kDoubleClickMs;
    // A double click ends the sequence: a third press starts a new one.
    icon.pressValid = !doubleClick;
    icon.pressTime = e.time;
    return doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
}

}  // namespace

bool notifyIconShown(HWND hwnd) {
    if (!backend()) return false;
    for (const auto& icon : registry().icons)
        if (icon.hwnd == hwnd && backend()->trayIconShown(icon.id)) return true;
    return false;
}

void onTrayPointer(unsigned id, const PointerEvent& event) {
    NotifyIcon* icon = findById(id);
    if (!icon || !IsWindow(icon->hwnd)) return;
    UINT message = mouseMessage(*icon, event);
    if (message && icon->callback) PostMessageW(icon->hwnd, icon->callback, icon->uID, message);
}

void onTrayLost(unsigned id) {
    NotifyIcon* icon = findById(id);
    if (!icon) return;
    auto window = findWindow(icon->hwnd);
    if (!window || window->visible || window->destroying || window->owned) return;
    if (notifyIconShown(icon->hwnd)) return;  // another of its icons is still in a tray
    iconifyWindow(*window);
}

}  // namespace win32

using namespace win32;

BOOL Shell_NotifyIconW(DWORD message, PNOTIFYICONDATAW data) {
    if (!data || data->cbSize < kSmallestSize) return FALSE;
    auto& icons = registry().icons;
    auto existing = findByOwner(data->hWnd, data->uID);
    switch (message) {
    case NIM_ADD: {
        if (existing != icons.end() || !IsWindow(data->hWnd)) return FALSE;
        NotifyIcon icon;
        icon.id = registry().nextId++;
        icon.hwnd = data->hWnd;
        icon.uID = data->uID;
        icon.callback = (data->uFlags & NIF_MESSAGE) ? data->uCallbackMessage : 0;
        TrayIconDesc desc;
        if (data->uFlags & NIF_ICON) desc.argb = iconPixels(data->hIcon, &desc.width, &desc.height);
        if (data->uFlags & NIF_TIP) desc.tip = toUtf8(tipOf(*data).c_str());
        icons.push_back(icon);
        // Kept even when no tray exists yet: the icon appears once one does.
        return backend() && backend()->addTrayIcon(icon.id, desc) ? TRUE : FALSE;
    }
    case NIM_DELETE: {
        if (existing == icons.end()) return FALSE;
        unsigned id = existing->id;
        icons.erase(existing);
        if (backend()) backend()->removeTrayIcon(id);
        return TRUE;
    }
    default: return FALSE;
    }
}
