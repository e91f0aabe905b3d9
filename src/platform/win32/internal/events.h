// Calls a backend makes upward when native events arrive, on the UI thread
// (inside Backend::processEvents).
#pragma once

#include <string>
#include <vector>

#include "platform/win32/internal/backend.h"

namespace win32 {

enum class PointerAction { Move, Press, Release };

struct PointerEvent {
    PointerAction action = PointerAction::Move;
    int button = 0;  // 1 left, 2 middle, 3 right; 0 for a move
    POINT screen{};  // root coordinates
    POINT client{};  // window coordinates
    DWORD time = 0;  // milliseconds, the server's clock
};

// The longest gap between two presses that still makes a double click, for
// windows and tray icons alike.
constexpr DWORD kDoubleClickMs = 500;

void onPointer(NativeWindow window, const PointerEvent& event);
// The pointer left the window's input area (its shape) and is now at the
// event's point. Win32 sends a window no move for that; a pop-up (a menu)
// gets one, at that point, so its hit test sees where the pointer went even
// when the way out crossed only see-through pixels. Other windows get
// nothing.
void onPointerLeft(NativeWindow window, const PointerEvent& event);
// Files dropped at `client`; paths are the file system's own bytes.
void onDrop(NativeWindow window, const std::vector<std::string>& paths, POINT client);
// The window manager asks the window to close.
void onCloseRequest(NativeWindow window);
// The window now lies at `screen` (its top-left corner in root coordinates).
void onMoved(NativeWindow window, POINT screen);
// The window manager took activation away.
void onDeactivated(NativeWindow window);
// The window manager brought an iconified window back (see Backend::iconify).
void onRestored(NativeWindow window);
// Pointer input over tray icon `id`; `event.time` in milliseconds of one
// clock per icon (the double click is measured on it).
void onTrayPointer(unsigned id, const PointerEvent& event);
// Backend::scale() changed (the desktop's scale setting did): windows are
// laid out again at the new scale.
void onScaleChanged();
// No tray shows icon `id` any more (its tray went away and none took over).
void onTrayLost(unsigned id);

}  // namespace win32
