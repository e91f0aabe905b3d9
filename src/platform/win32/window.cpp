// Window classes and windows: registration, creation and destruction,
// window data, visibility, coordinates and layered attributes.
#include <algorithm>
#include <map>
#include <vector>

#include "platform/win32/internal/events.h"
#include "platform/win32/internal/faults.h"
#include "platform/win32/internal/icon.h"
#include "platform/win32/internal/scale.h"
#include "platform/win32/internal/strings.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/internal/window_reset.h"
#include "platform/win32/user.h"

namespace win32 {
namespace {

struct WindowRegistry {
    std::map<std::wstring, std::shared_ptr<WindowClass>> classes;  // UI thread only
    ATOM nextAtom = 0xC000;
    std::mutex mutex;  // guards `windows`, which other threads scan through findWindow's callers
    std::vector<std::shared_ptr<Window>> windows;
};

WindowRegistry& registry() {
    static WindowRegistry* instance = new WindowRegistry;
    return *instance;
}

Backend* currentBackend = nullptr;

std::shared_ptr<WindowClass> findClass(LPCWSTR name) {
    if (!name) return nullptr;
    auto& classes = registry().classes;
    if (IS_INTRESOURCE(name)) {
        for (auto& [key, cls] : classes)
            if (cls->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))) return cls;
        return nullptr;
    }
    auto it = classes.find(name);
    return it == classes.end() ? nullptr : it->second;
}

void forget(const std::shared_ptr<Window>& window) {
    std::lock_guard lock(registry().mutex);
    auto& windows = registry().windows;
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

}  // namespace

Backend* backend() { return currentBackend; }

void discardAllWindows() {
    std::vector<std::shared_ptr<Window>> windows;
    {
        std::lock_guard lock(registry().mutex);
        windows.swap(registry().windows);
    }
    for (auto& window : windows) {
        std::lock_guard lock(window->paintMutex);
        window->destroying = true;
        removeHandle(window->handle, HandleKind::Window);
    }
}

void forgetWindowClasses() {
    auto& classes = registry().classes;
    for (auto it = classes.begin(); it != classes.end();) {
        bool used = false;
        for (auto& w : allWindows()) used = used || w->windowClass == it->second;
        it = used ? std::next(it) : classes.erase(it);
    }
}
void installBackend(Backend* b) { currentBackend = b; }

Window::~Window() {
    if (updateRegion) cairo_region_destroy(updateRegion);
}

std::shared_ptr<Window> findWindow(HWND hwnd) { return findAs<Window>(hwnd, HandleKind::Window); }

HWND windowForNative(NativeWindow native) {
    if (!native) return nullptr;
    std::lock_guard lock(registry().mutex);
    for (auto& w : registry().windows)
        if (w->native == native) return w->handle;
    return nullptr;
}

std::vector<std::shared_ptr<Window>> allWindows() {
    std::lock_guard lock(registry().mutex);
    return registry().windows;
}

void presentWindow(Window& window, const RECT& area) {
    if (!backend() || !window.native || !window.surface) return;
    cairo_surface_flush(window.surface->surface());
    PixelView view{window.surface->row(0), window.surface->width, window.surface->height, window.surface->stride};
    backend()->present(window.native, view, toDevice(area, window.surface->scale));
}

void invalidateWhole(Window& window, bool erase) {
    {
        std::lock_guard lock(window.paintMutex);
        cairo_rectangle_int_t all{0, 0, window.width, window.height};
        cairo_region_union_rectangle(window.updateRegion, &all);
        window.eraseNeeded = window.eraseNeeded || erase;
    }
    wakeMessageLoop();
}

}  // namespace win32

using namespace win32;

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    if (faultActive(Fault::RegisterClass)) return 0;
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpfnWndProc || !wc->lpszClassName || !*wc->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& reg = registry();
    if (reg.classes.count(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = wc->lpszClassName;
    cls->atom = reg.nextAtom++;
    cls->style = wc->style;
    cls->proc = wc->lpfnWndProc;
    cls->instance = wc->hInstance;
    cls->icon = wc->hIcon;
    cls->cursor = wc->hCursor;
    cls->background = wc->hbrBackground;
    reg.classes[cls->name] = cls;
    return cls->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    auto cls = findClass(className);
    if (!cls) return FALSE;
    for (auto& w : allWindows())
        if (w->windowClass == cls) return FALSE;
    registry().classes.erase(cls->name);
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    auto cls = findClass(className);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (!backend()) return nullptr;
    if (width == CW_USEDEFAULT) width = 300;
    if (height == CW_USEDEFAULT) height = 200;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }

    auto window = std::make_shared<Window>();
    window->windowClass = cls;
    window->proc = cls->proc;
    window->style = style;
    window->exStyle = exStyle;
    window->title = windowName ? windowName : L"";
    window->width = width;
    window->height = height;
    window->thread = std::this_thread::get_id();
    const double scale = displayScale();
    window->surface = std::make_shared<BitmapObject>(width, height, scale);
    window->updateRegion = cairo_region_create();
    bool placed = x != CW_USEDEFAULT;
    window->origin = placed ? POINT{x, y} : POINT{0, 0};

    NativeWindowDesc desc;
    desc.title = toUtf8(window->title.c_str());
    desc.className = toUtf8(cls->name.c_str());
    desc.x = toDevice(window->origin.x, scale);
    desc.y = toDevice(window->origin.y, scale);
    desc.placed = placed;
    desc.width = window->surface->width;
    desc.height = window->surface->height;
    desc.topmost = exStyle & WS_EX_TOPMOST;
    desc.toolWindow = exStyle & WS_EX_TOOLWINDOW;
    desc.acceptFiles = exStyle & WS_EX_ACCEPTFILES;
    desc.popup = style & WS_POPUP;
    desc.layered = exStyle & WS_EX_LAYERED;
    if (auto owner = findWindow(parent)) desc.owner = owner->native;
    window->owned = desc.owner != 0;
    window->native = backend()->createWindow(desc);
    if (!window->native) return nullptr;

    HWND hwnd = static_cast<HWND>(addHandle(HandleKind::Window, window));
    window->handle = hwnd;
    {
        std::lock_guard lock(registry().mutex);
        registry().windows.push_back(window);
    }
    if (cls->icon) {
        int w = 0, h = 0;
        auto pixels = iconPixels(cls->icon, &w, &h);
        if (!pixels.empty()) backend()->setIcon(window->native, w, h, pixels);
    }

    CREATESTRUCTW cs{param,
                     instance,
                     menu,
                     parent,
                     height,
                     width,
                     window->origin.y,
                     window->origin.x,
                     static_cast<LONG>(style),
                     windowName,
                     className,
                     exStyle};
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if ((style & WS_VISIBLE) && IsWindow(hwnd)) {
        window->style &= ~WS_VISIBLE;
        ShowWindow(hwnd, SW_SHOW);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
    auto window = findWindow(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->destroying) return TRUE;
    window->destroying = true;
    if (window->visible) {
        window->visible = false;
        if (backend()) backend()->setVisible(window->native, false);
    }
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    if (backend()) backend()->destroyWindow(window->native);
    forget(window);
    {
        std::lock_guard lock(window->paintMutex);
        removeHandle(hwnd, HandleKind::Window);
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return findWindow(hwnd) ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND hwnd) {
    auto window = findWindow(hwnd);
    return window && window->visible ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
    auto window = findWindow(hwnd);
    if (!window) return FALSE;
    bool wasVisible = window->visible;
    bool show = cmdShow != SW_HIDE;
    if (show == wasVisible) return wasVisible;
    SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!IsWindow(hwnd)) return wasVisible;
    window->visible = show;
    if (show)
        window->style |= WS_VISIBLE;
    else
        window->style &= ~WS_VISIBLE;
    if (backend()) backend()->setVisible(window->native, show);
    bool activate = show && cmdShow != SW_SHOWNA && cmdShow != SW_SHOWNOACTIVATE;
    if (activate && backend()) backend()->setForeground(window->native);
    if (show) invalidateWhole(*window, true);
    return wasVisible;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    auto window = findWindow(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // A surface needs at least one pixel; Win32 would keep an empty window.
    cx = std::clamp(cx, 1, 16384);
    cy = std::clamp(cy, 1, 16384);
    bool resize = !(flags & SWP_NOSIZE) && (cx != window->width || cy != window->height);
    bool raise = !(flags & SWP_NOZORDER) && (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST);
    if (resize) {
        {
            std::lock_guard lock(window->paintMutex);
            window->width = cx;
            window->height = cy;
            window->surface = std::make_shared<BitmapObject>(cx, cy, displayScale());
            cairo_rectangle_int_t client{0, 0, cx, cy};
            cairo_region_intersect_rectangle(window->updateRegion, &client);
        }
        if (backend()) backend()->setSize(window->native, window->surface->width, window->surface->height);
        if (window->visible) invalidateWhole(*window, true);
    }
    if (!(flags & SWP_NOMOVE)) window->origin = POINT{x, y};
    if ((!(flags & SWP_NOMOVE) || raise) && backend())
        backend()->setPosition(window->native, toDevice(window->origin, displayScale()), raise);
    return TRUE;
}

BOOL SetForegroundWindow(HWND hwnd) {
    auto window = findWindow(hwnd);
    if (!window) return FALSE;
    if (backend()) backend()->setForeground(window->native);
    return TRUE;
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value) {
    auto window = findWindow(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    switch (index) {
    case GWL_USERDATA:
        previous = window->userData;
        window->userData = value;
        break;
    case GWL_STYLE:
        // Visibility changes only through ShowWindow; the bit follows it.
        previous = window->style;
        window->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | (window->style & WS_VISIBLE);
        break;
    case GWL_EXSTYLE:
        previous = window->exStyle;
        window->exStyle = static_cast<DWORD>(value);
        break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
    }
    SetLastError(0);
    return previous;
}

LONG_PTR GetWindowLongW(HWND hwnd, int index) {
    auto window = findWindow(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_USERDATA: return window->userData;
    case GWL_STYLE: return static_cast<LONG_PTR>(window->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(window->exStyle);
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
    }
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    auto window = findWindow(hwnd);
    if (!window || !rect) return FALSE;
    *rect = RECT{0, 0, window->width, window->height};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    auto window = findWindow(hwnd);
    if (!window || !rect) return FALSE;
    *rect =
        RECT{window->origin.x, window->origin.y, window->origin.x + window->width, window->origin.y + window->height};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    auto window = findWindow(hwnd);
    if (!window || !point) return FALSE;
    point->x += window->origin.x;
    point->y += window->origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    auto window = findWindow(hwnd);
    if (!window || !point) return FALSE;
    point->x -= window->origin.x;
    point->y -= window->origin.y;
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    if (backend() && backend()->cursorPosition(point)) {
        *point = toLogical(*point, displayScale());
        return TRUE;
    }
    *point = POINT{0, 0};
    return FALSE;
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE, DWORD flags) {
    auto window = findWindow(hwnd);
    if (!window || !(window->exStyle & WS_EX_LAYERED)) return FALSE;
    if (backend()) backend()->setColorKey(window->native, flags & LWA_COLORKEY, key & 0xFFFFFF);
    return TRUE;
}

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) { return !rect || rect->right <= rect->left || rect->bottom <= rect->top; }

BOOL PtInRect(const RECT* rect, POINT p) {
    return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom;
}

namespace win32 {

// As a program that reads the scale at start: its windows keep their size
// in window pixels and are made again at the new one; pictures it keeps
// from before are stretched to it.
void onScaleChanged() {
    if (!backend()) return;
    const double scale = displayScale();
    for (auto& window : allWindows()) {
        if (!window->native || (window->surface && window->surface->scale == scale)) continue;
        {
            std::lock_guard lock(window->paintMutex);
            window->surface = std::make_shared<BitmapObject>(window->width, window->height, scale);
        }
        backend()->setSize(window->native, window->surface->width, window->surface->height);
        backend()->setPosition(window->native, toDevice(window->origin, scale), false);
        sendBlurRegion(*window);
        if (window->visible) invalidateWhole(*window, true);
    }
}

}  // namespace win32
