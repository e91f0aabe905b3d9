// The headless display backend: a small simulator of a display for tests.
// It keeps each window's geometry, visibility and last presented pixels,
// produces the same upward events as the real backend from injected input,
// and records what the layer asked of the display (message boxes, system
// moves, blur regions, shapes), and fails what a test asks it to (window
// creation, composition). Everything runs on the test's (UI) thread;
// injected events are delivered inside the next GetMessageW/PeekMessageW.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/internal/backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/user.h"

namespace headless {

struct WindowState {
    win32::NativeWindowDesc desc;
    POINT position{};
    bool visible = false;
    bool colorKey = false;
    COLORREF key = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // last presented, BGRA premultiplied
    std::vector<RECT> presented;        // areas presented, oldest first
    std::vector<RECT> blur;
    int blurSets = 0;                // how often the blur region was set
    std::vector<POINT> systemMoves;  // screen points a system move started from
    int iconWidth = 0;
    bool iconic = false;            // iconified: in the taskbar, not on screen
    std::vector<double> opacities;  // each opacity set, oldest first
    int activations = 0;            // how often it was made the active window
    int raises = 0;                 // how often it was raised to the top
};

struct TrayIconState {
    win32::TrayIconDesc desc;
    bool shown = false;  // a tray shows it
};

class HeadlessBackend : public win32::Backend {
public:
    // Installs a fresh headless backend as the layer's backend, clearing
    // faults, and records diagnostics while it lives; uninstalls it when
    // destroyed.
    HeadlessBackend();
    ~HeadlessBackend() override;

    // The display's scale (1 by default). Input, positions, sizes and pixels
    // here are the display's own (device) pixels; setting a new scale while
    // windows live tells the layer, as a desktop's settings change would.
    void setScale(double scale);
    double scale() override { return m_scale; }

    // Input, in the window's client coordinates.
    void moveTo(HWND hwnd, int x, int y);
    void press(HWND hwnd, int x, int y, int button = 1);
    void release(HWND hwnd, int x, int y, int button = 1);
    void click(HWND hwnd, int x, int y);  // press and release, far in time from the last press
    // The pointer leaves the window's shape for client point (x, y), a
    // see-through pixel or a place outside the window.
    void leave(HWND hwnd, int x, int y);
    void dropFiles(HWND hwnd, const std::vector<std::string>& paths, POINT at = {270, 115});
    void requestClose(HWND hwnd);
    // Another window takes the activation away from hwnd (a click elsewhere).
    void deactivate(HWND hwnd);
    void advanceClock(DWORD ms) { m_clock += ms; }

    // What the display shows.
    const WindowState* window(HWND hwnd) const;
    std::uint32_t pixel(HWND hwnd, int x, int y) const;  // 0 outside the window
    void setComposition(bool enabled) { m_composition = enabled; }
    void failWindowCreation(bool fail) { m_failWindows = fail; }
    void setCursor(POINT screen) { m_cursor = screen; }

    // The desktop's tray (present by default). Taking it away reports every
    // shown icon lost; bringing it back shows them all again.
    void setTrayPresent(bool present);
    const std::map<unsigned, TrayIconState>& trayIcons() const { return m_trayIcons; }
    // Pointer input over the first tray icon (a press far in time from the
    // last unless `quick`).
    void trayPress(int button = 1, bool quick = false);
    void trayRelease(int button = 1);
    void trayMove();
    // A window manager that can iconify (present by default), and its
    // restoring an iconified window.
    void setCanIconify(bool can) { m_canIconify = can; }
    void restore(HWND hwnd);

    // Backend
    win32::NativeWindow createWindow(const win32::NativeWindowDesc& desc) override;
    void destroyWindow(win32::NativeWindow window) override;
    void setVisible(win32::NativeWindow window, bool visible) override;
    void present(win32::NativeWindow window, const win32::PixelView& surface, const RECT& area) override;
    void processEvents() override;
    void setColorKey(win32::NativeWindow window, bool enabled, COLORREF key) override;
    void setIcon(win32::NativeWindow window, int width, int height, const std::vector<std::uint32_t>& argb) override;
    void startSystemMove(win32::NativeWindow window, POINT screen) override;
    void setForeground(win32::NativeWindow window) override;
    void setPosition(win32::NativeWindow window, POINT screen, bool raise) override;
    void setSize(win32::NativeWindow window, int width, int height) override;
    bool compositionEnabled() override { return m_composition; }
    void setBlurRegion(win32::NativeWindow window, const std::vector<RECT>& rects) override;
    bool cursorPosition(POINT* screen) override;
    void setOpacity(win32::NativeWindow window, double opacity) override;
    bool iconify(win32::NativeWindow window) override;
    bool addTrayIcon(unsigned id, const win32::TrayIconDesc& desc) override;
    void removeTrayIcon(unsigned id) override;
    bool trayIconShown(unsigned id) override;

private:
    void trayPointer(int action, int button);

    WindowState* find(HWND hwnd);
    // `left`: the pointer left the window's shape for (x, y), rather than
    // acting there.
    void pointer(HWND hwnd, int action, int x, int y, int button, bool left = false);
    void queue(std::function<void()> event);

    win32::DiagnosticsRecording m_recording;
    std::map<win32::NativeWindow, WindowState> m_windows;
    std::deque<std::function<void()>> m_events;
    win32::NativeWindow m_next = 1;
    DWORD m_clock = 100000;
    bool m_composition = true;
    double m_scale = 1.0;
    bool m_failWindows = false;
    POINT m_cursor{};
    bool m_trayPresent = true;
    bool m_canIconify = true;
    std::map<unsigned, TrayIconState> m_trayIcons;
};

}  // namespace headless
