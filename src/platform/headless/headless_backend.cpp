// The headless display backend (see headless_backend.h).
#include "platform/headless/headless_backend.h"

#include <algorithm>

#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/internal/events.h"
#include "platform/win32/internal/faults.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/internal/window_reset.h"

namespace headless {

using win32::NativeWindow;

namespace {
constexpr POINT kDefaultPosition{100, 100};
constexpr DWORD kFarApartMs = 1000;  // longer than any double-click time
}  // namespace

HeadlessBackend::HeadlessBackend() {
    win32::clearFaults();
    win32::clearDiagnostics();
    win32::forgetWindowClasses();
    win32::installBackend(this);
}

HeadlessBackend::~HeadlessBackend() {
    win32::discardAllWindows();
    if (win32::backend() == this) win32::installBackend(nullptr);
    win32::clearFaults();
}

WindowState* HeadlessBackend::find(HWND hwnd) {
    auto window = win32::findWindow(hwnd);
    if (!window) return nullptr;
    auto it = m_windows.find(window->native);
    return it == m_windows.end() ? nullptr : &it->second;
}

const WindowState* HeadlessBackend::window(HWND hwnd) const { return const_cast<HeadlessBackend*>(this)->find(hwnd); }

std::uint32_t HeadlessBackend::pixel(HWND hwnd, int x, int y) const {
    const WindowState* w = window(hwnd);
    if (!w || x < 0 || y < 0 || x >= w->width || y >= w->height) return 0;
    return w->pixels[static_cast<std::size_t>(y) * w->width + x];
}

void HeadlessBackend::queue(std::function<void()> event) {
    m_events.push_back(std::move(event));
    win32::wakeMessageLoop();
}

void HeadlessBackend::pointer(HWND hwnd, int action, int x, int y, int button, bool left) {
    WindowState* w = find(hwnd);
    if (!w) return;
    NativeWindow native = win32::findWindow(hwnd)->native;
    win32::PointerEvent e;
    e.action = static_cast<win32::PointerAction>(action);
    e.button = button;
    e.client = POINT{x, y};
    e.screen = POINT{w->position.x + x, w->position.y + y};
    e.time = m_clock;
    m_cursor = e.screen;
    if (left)
        queue([native, e] { win32::onPointerLeft(native, e); });
    else
        queue([native, e] { win32::onPointer(native, e); });
}

void HeadlessBackend::leave(HWND hwnd, int x, int y) {
    pointer(hwnd, static_cast<int>(win32::PointerAction::Move), x, y, 0, true);
}

void HeadlessBackend::moveTo(HWND hwnd, int x, int y) {
    pointer(hwnd, static_cast<int>(win32::PointerAction::Move), x, y, 0);
}

void HeadlessBackend::press(HWND hwnd, int x, int y, int button) {
    pointer(hwnd, static_cast<int>(win32::PointerAction::Press), x, y, button);
}

void HeadlessBackend::release(HWND hwnd, int x, int y, int button) {
    pointer(hwnd, static_cast<int>(win32::PointerAction::Release), x, y, button);
}

void HeadlessBackend::click(HWND hwnd, int x, int y) {
    m_clock += kFarApartMs;
    press(hwnd, x, y);
    m_clock += 50;
    release(hwnd, x, y);
}

void HeadlessBackend::dropFiles(HWND hwnd, const std::vector<std::string>& paths, POINT at) {
    auto window = win32::findWindow(hwnd);
    if (!window) return;
    NativeWindow native = window->native;
    queue([native, paths, at] { win32::onDrop(native, paths, at); });
}

void HeadlessBackend::setScale(double scale) {
    m_scale = scale;
    if (!m_windows.empty()) win32::onScaleChanged();
}

void HeadlessBackend::requestClose(HWND hwnd) {
    auto window = win32::findWindow(hwnd);
    if (!window) return;
    NativeWindow native = window->native;
    queue([native] { win32::onCloseRequest(native); });
}

void HeadlessBackend::deactivate(HWND hwnd) {
    auto window = win32::findWindow(hwnd);
    if (!window) return;
    NativeWindow native = window->native;
    queue([native] { win32::onDeactivated(native); });
}

NativeWindow HeadlessBackend::createWindow(const win32::NativeWindowDesc& desc) {
    if (m_failWindows) return 0;
    NativeWindow id = m_next++;
    WindowState& w = m_windows[id];
    w.desc = desc;
    w.width = desc.width;
    w.height = desc.height;
    w.pixels.assign(static_cast<std::size_t>(desc.width) * desc.height, 0);
    w.position = desc.placed ? POINT{desc.x, desc.y} : kDefaultPosition;
    if (!desc.placed) {
        POINT at = w.position;
        queue([id, at] { win32::onMoved(id, at); });
    }
    return id;
}

void HeadlessBackend::destroyWindow(NativeWindow window) { m_windows.erase(window); }

void HeadlessBackend::setVisible(NativeWindow window, bool visible) {
    if (auto it = m_windows.find(window); it != m_windows.end()) {
        it->second.visible = visible;
        if (visible) it->second.iconic = false;
    }
}

void HeadlessBackend::present(NativeWindow window, const win32::PixelView& surface, const RECT& area) {
    auto it = m_windows.find(window);
    if (it == m_windows.end()) return;
    WindowState& w = it->second;
    int left = std::max<LONG>(0, area.left), top = std::max<LONG>(0, area.top);
    int right = std::min<LONG>(std::min(w.width, surface.width), area.right);
    int bottom = std::min<LONG>(std::min(w.height, surface.height), area.bottom);
    for (int y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const char*>(surface.pixels) +
                                                           static_cast<std::ptrdiff_t>(y) * surface.stride);
        std::copy(row + left, row + std::max(left, right),
                  w.pixels.begin() + static_cast<std::ptrdiff_t>(y) * w.width + left);
    }
    w.presented.push_back(area);
}

void HeadlessBackend::processEvents() {
    while (!m_events.empty()) {
        auto event = std::move(m_events.front());
        m_events.pop_front();
        event();
    }
}

void HeadlessBackend::setColorKey(NativeWindow window, bool enabled, COLORREF key) {
    if (auto it = m_windows.find(window); it != m_windows.end()) {
        it->second.colorKey = enabled;
        it->second.key = key;
    }
}

void HeadlessBackend::setIcon(NativeWindow window, int width, int, const std::vector<std::uint32_t>&) {
    if (auto it = m_windows.find(window); it != m_windows.end()) it->second.iconWidth = width;
}

void HeadlessBackend::startSystemMove(NativeWindow window, POINT screen) {
    if (auto it = m_windows.find(window); it != m_windows.end()) it->second.systemMoves.push_back(screen);
}

void HeadlessBackend::setForeground(NativeWindow window) {
    if (auto it = m_windows.find(window); it != m_windows.end()) ++it->second.activations;
}

void HeadlessBackend::setPosition(NativeWindow window, POINT screen, bool raise) {
    if (auto it = m_windows.find(window); it != m_windows.end()) {
        it->second.position = screen;
        if (raise) ++it->second.raises;
    }
}

void HeadlessBackend::setSize(NativeWindow window, int width, int height) {
    if (auto it = m_windows.find(window); it != m_windows.end()) {
        it->second.width = width;
        it->second.height = height;
        it->second.pixels.assign(static_cast<std::size_t>(width) * height, 0);
    }
}

void HeadlessBackend::setBlurRegion(NativeWindow window, const std::vector<RECT>& rects) {
    if (auto it = m_windows.find(window); it != m_windows.end()) {
        it->second.blur = rects;
        ++it->second.blurSets;
    }
}

bool HeadlessBackend::cursorPosition(POINT* screen) {
    *screen = m_cursor;
    return true;
}

void HeadlessBackend::setOpacity(NativeWindow window, double opacity) {
    if (auto it = m_windows.find(window); it != m_windows.end()) it->second.opacities.push_back(opacity);
}

bool HeadlessBackend::iconify(NativeWindow window) {
    auto it = m_windows.find(window);
    if (!m_canIconify || it == m_windows.end()) return false;
    it->second.visible = false;
    it->second.iconic = true;
    return true;
}

void HeadlessBackend::restore(HWND hwnd) {
    auto window = win32::findWindow(hwnd);
    WindowState* w = find(hwnd);
    if (!window || !w || !w->iconic) return;
    w->iconic = false;
    w->visible = true;
    NativeWindow native = window->native;
    queue([native] { win32::onRestored(native); });
}

bool HeadlessBackend::addTrayIcon(unsigned id, const win32::TrayIconDesc& desc) {
    m_trayIcons[id] = TrayIconState{desc, m_trayPresent};
    return m_trayPresent;
}

void HeadlessBackend::removeTrayIcon(unsigned id) { m_trayIcons.erase(id); }

bool HeadlessBackend::trayIconShown(unsigned id) {
    auto it = m_trayIcons.find(id);
    return it != m_trayIcons.end() && it->second.shown;
}

void HeadlessBackend::setTrayPresent(bool present) {
    m_trayPresent = present;
    for (auto& [id, icon] : m_trayIcons) {
        bool lost = icon.shown && !present;
        icon.shown = present;
        if (lost) queue([id = id] { win32::onTrayLost(id); });
    }
}

void HeadlessBackend::trayPointer(int action, int button) {
    if (m_trayIcons.empty()) return;
    unsigned id = m_trayIcons.begin()->first;
    win32::PointerEvent e;
    e.action = static_cast<win32::PointerAction>(action);
    e.button = button;
    e.time = m_clock;
    queue([id, e] { win32::onTrayPointer(id, e); });
}

void HeadlessBackend::trayPress(int button, bool quick) {
    m_clock += quick ? 100 : kFarApartMs;
    trayPointer(static_cast<int>(win32::PointerAction::Press), button);
}

void HeadlessBackend::trayRelease(int button) {
    m_clock += 50;
    trayPointer(static_cast<int>(win32::PointerAction::Release), button);
}

void HeadlessBackend::trayMove() { trayPointer(static_cast<int>(win32::PointerAction::Move), 0); }

}  // namespace headless
