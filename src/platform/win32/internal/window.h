// The window table's records. Owned by the UI thread, except the update
// region, which InvalidateRect may change from any thread under paintMutex.
#pragma once

#include <cairo.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/internal/backend.h"
#include "platform/win32/internal/gdi_objects.h"
#include "platform/win32/user.h"

namespace win32 {

struct WindowClass {
    std::wstring name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

struct Window : Object {
    ~Window() override;

    HWND handle = nullptr;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR userData = 0;
    std::wstring title;
    POINT origin{};  // screen position of the client area's top-left corner
    int width = 0;
    int height = 0;
    NativeWindow native = 0;
    bool owned = false;  // created with an owner window
    std::thread::id thread;
    bool visible = false;
    bool destroying = false;
    std::shared_ptr<BitmapObject> surface;
    std::vector<RECT> blur;  // the blur-behind region, window pixels

    std::mutex paintMutex;
    cairo_region_t* updateRegion = nullptr;  // guarded by paintMutex
    bool eraseNeeded = false;                // guarded by paintMutex
};

std::shared_ptr<Window> findWindow(HWND hwnd);
HWND windowForNative(NativeWindow native);
// Every live window, for the loop's paint scan.
std::vector<std::shared_ptr<Window>> allWindows();

// Shows `area` of the window's surface through the backend.
void presentWindow(Window& window, const RECT& area);
// Hands the window's blur-behind region to the backend.
void sendBlurRegion(const Window& window);
// Makes the whole client area invalid (a window that becomes visible).
void invalidateWhole(Window& window, bool erase);

// Hides a window into the window manager's icon state instead of
// withdrawing it, so the desktop can always bring it back; false (and the
// window left as it was) when the display cannot. See Backend::iconify.
bool iconifyWindow(Window& window);

// Wakes a GetMessageW blocked on another thread.
void wakeMessageLoop();

// While one lives, this thread's wakes of the message loop are held and made
// as a single wake when it ends, so a timer callback that invalidates and
// posts wakes the UI thread once. SendMessageW still wakes at once.
class WakeBatch {
public:
    WakeBatch();
    ~WakeBatch();
    WakeBatch(const WakeBatch&) = delete;
    WakeBatch& operator=(const WakeBatch&) = delete;
};

}  // namespace win32
