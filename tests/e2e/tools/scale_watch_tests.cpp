// The X11 backend's scale against a real X server (the e2e check
// display_scale runs it under Xvfb): a settings manager of the test's own
// on the _XSETTINGS_S0 selection, and the Xft.dpi resource on the root.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/win32/internal/scale.h"
#include "platform/x11/x11_internal.h"
#include "support/xsettings_blob.h"

namespace {

using testing_support::XSettingsBlob;

const char* const kScaleVariables[] = {"OSTREL_SCALE", "GDK_SCALE", "QT_SCALE_FACTOR"};

std::string settingsAt(int dpi, int windowScale, bool msbFirst = false) {
    return XSettingsBlob(msbFirst)
        .string("Net/ThemeName", "Adwaita")
        .integer("Gdk/WindowScalingFactor", windowScale)
        .color("Gtk/Color", 0, 0, 0, 0xFFFF)
        .integer("Xft/DPI", dpi * 1024)
        .bytes();
}

// A settings manager: owns the selection with a window of its own, on a
// connection of its own, and writes its settings there.
class SettingsManager {
public:
    explicit SettingsManager(const std::string& settings) : m_display(XOpenDisplay(nullptr)) {
        const int screen = DefaultScreen(m_display);
        m_root = RootWindow(m_display, screen);
        m_selection = XInternAtom(m_display, ("_XSETTINGS_S" + std::to_string(screen)).c_str(), False);
        m_settings = XInternAtom(m_display, "_XSETTINGS_SETTINGS", False);
        m_window = XCreateSimpleWindow(m_display, m_root, 0, 0, 1, 1, 0, 0, 0);
        publish(settings);
        XSetSelectionOwner(m_display, m_selection, m_window, CurrentTime);
        // The announcement the settings manager protocol asks for.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = m_root;
        event.xclient.message_type = XInternAtom(m_display, "MANAGER", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = CurrentTime;
        event.xclient.data.l[1] = static_cast<long>(m_selection);
        event.xclient.data.l[2] = static_cast<long>(m_window);
        XSendEvent(m_display, m_root, False, StructureNotifyMask, &event);
        XSync(m_display, False);
    }
    // Gone by the time it returns: a closed connection's windows are
    // destroyed whenever the server gets to it.
    ~SettingsManager() {
        XDestroyWindow(m_display, m_window);
        XSync(m_display, False);
        XCloseDisplay(m_display);
    }

    void publish(const std::string& settings) {
        XChangeProperty(m_display, m_window, m_settings, m_settings, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(settings.data()), static_cast<int>(settings.size()));
        XSync(m_display, False);
    }

private:
    Display* m_display;
    ::Window m_root;
    ::Window m_window;
    Atom m_selection;
    Atom m_settings;
};

struct Step {
    const char* what;
    std::function<void()> change;
    double scale;
    int changes;  // announced so far
};

class ScaleWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_desktop = XOpenDisplay(nullptr);
        ASSERT_NE(m_desktop, nullptr) << "no X display (run under the e2e check display_scale)";
        setResources("");
        for (const char* name : kScaleVariables) unsetenv(name);
    }
    void TearDown() override {
        stopBackend();
        m_manager.reset();
        if (m_desktop) {
            setResources("");
            XCloseDisplay(m_desktop);
        }
        for (const char* name : kScaleVariables) unsetenv(name);
    }

    // The root's RESOURCE_MANAGER, as xrdb writes it; none when empty.
    void setResources(const std::string& text) {
        const ::Window root = DefaultRootWindow(m_desktop);
        if (text.empty())
            XDeleteProperty(m_desktop, root, XA_RESOURCE_MANAGER);
        else
            XChangeProperty(m_desktop, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        XSync(m_desktop, False);
    }

    void startBackend() {
        m_backendDisplay = XOpenDisplay(nullptr);
        m_backend = std::make_unique<x11::X11Backend>(m_backendDisplay);
        win32::installBackend(m_backend.get());
    }
    void stopBackend() {
        if (!m_backend) return;
        win32::installBackend(nullptr);
        m_backend.reset();
    }

    // Once the backend has handled every event the server sent it before
    // now (the server answers the round trip after them), and read what
    // they changed, which may wait for its turn.
    void settle() {
        XSync(m_backendDisplay, False);
        m_backend->processEvents();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (m_backend->settingsReadPending() && std::chrono::steady_clock::now() < deadline) {
            pollfd ready{m_backend->eventFd(), POLLIN, 0};
            poll(&ready, 1, 100);
            m_backend->processEvents();
        }
        EXPECT_FALSE(m_backend->settingsReadPending()) << "a change left unread";
    }

    // Each change, then what the backend says once it has seen it.
    template <std::size_t N>
    void runSteps(const Step (&steps)[N]) {
        for (const Step& step : steps) {
            step.change();
            settle();
            EXPECT_EQ(m_backend->scale(), step.scale) << step.what;
            EXPECT_EQ(m_backend->scaleChanges(), step.changes) << step.what;
        }
    }

    Display* m_desktop = nullptr;
    Display* m_backendDisplay = nullptr;
    std::unique_ptr<x11::X11Backend> m_backend;
    std::unique_ptr<SettingsManager> m_manager;
};

struct StartCase {
    const char* what;
    const char* resources;
    const std::string* settings;  // null: no settings manager (its bytes hold NULs)
    const char* variable;         // with `value`, set for the backend
    const char* value;
    double expected;
};

TEST_F(ScaleWatchTest, ReadsTheScaleAtStart) {
    const std::string gnome2 = settingsAt(192, 2), logical = settingsAt(96, 1), kde175 = settingsAt(168, 1, true);
    const std::string garbage = "not a settings list";
    // Well formed, but the size of no settings manager's list.
    const std::string huge =
        XSettingsBlob().string("Net/ThemeName", std::string(512 * 1024, 'A')).integer("Xft/DPI", 192 * 1024).bytes();
    const StartCase cases[] = {
        {"nothing", "", nullptr, nullptr, nullptr, 1.0},
        {"the resource", "Xft.dpi:\t144\n", nullptr, nullptr, nullptr, 1.5},
        {"the resource among others", "! set by a session\nXcursor.size:\t48\nXft.dpi:\t192\nXft.hinting:\t1\n",
         nullptr, nullptr, nullptr, 2.0},
        {"the resource by a wildcard", "*dpi:\t120\n", nullptr, nullptr, nullptr, 1.25},
        {"GNOME at 2", "Xft.dpi:\t96\n", &gnome2, nullptr, nullptr, 2.0},
        {"the compositor scaling X clients", "Xft.dpi:\t192\n", &logical, nullptr, nullptr, 1.0},
        {"MSB-first settings", "", &kde175, nullptr, nullptr, 1.75},
        {"settings unreadable", "Xft.dpi:\t120\n", &garbage, nullptr, nullptr, 1.25},
        {"settings too large to read", "Xft.dpi:\t120\n", &huge, nullptr, nullptr, 1.25},
        {"OSTREL_SCALE", "Xft.dpi:\t96\n", &gnome2, "OSTREL_SCALE", "3", 3.0},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.what);
        setResources(c.resources);
        if (c.settings) m_manager = std::make_unique<SettingsManager>(*c.settings);
        if (c.variable) setenv(c.variable, c.value, 1);
        startBackend();
        EXPECT_EQ(m_backend->scale(), c.expected);
        EXPECT_EQ(win32::displayScale(), c.expected);
        stopBackend();
        m_manager.reset();
        if (c.variable) unsetenv(c.variable);
    }
}

TEST_F(ScaleWatchTest, FollowsTheResourceAndTheSettingsManager) {
    startBackend();
    ASSERT_EQ(m_backend->scale(), 1.0);
    const Step steps[] = {
        {"the resource set", [&] { setResources("Xft.dpi:\t120\n"); }, 1.25, 1},
        {"the resource rewritten alike", [&] { setResources("Xcursor.size:\t24\nXft.dpi:\t120\n"); }, 1.25, 1},
        {"a manager started", [&] { m_manager = std::make_unique<SettingsManager>(settingsAt(192, 2)); }, 2.0, 2},
        {"its settings changed", [&] { m_manager->publish(settingsAt(144, 1)); }, 1.5, 3},
        {"its settings changed, not the scale", [&] { m_manager->publish(settingsAt(144, 1, true)); }, 1.5, 3},
        {"its settings unreadable", [&] { m_manager->publish("\x01\x00"); }, 1.25, 4},
        {"its settings mended", [&] { m_manager->publish(settingsAt(192, 2)); }, 2.0, 5},
        {"the resource changed under it", [&] { setResources("Xft.dpi:\t96\n"); }, 2.0, 5},
        {"the manager gone", [&] { m_manager.reset(); }, 1.0, 6},
        {"another started", [&] { m_manager = std::make_unique<SettingsManager>(settingsAt(168, 1)); }, 1.75, 7},
        {"the resource gone", [&] { setResources(""); }, 1.75, 7},
    };
    runSteps(steps);
    EXPECT_EQ(win32::displayScale(), 1.75);
}

TEST_F(ScaleWatchTest, ReadsRewritesAFewTimesASecond) {
    // Another client rewriting the settings and the resources as fast as
    // it can: the backend reads the changes a few times a second, the
    // latest of them in the end.
    m_manager = std::make_unique<SettingsManager>(settingsAt(96, 1));
    startBackend();
    const auto start = std::chrono::steady_clock::now();
    constexpr int kRewrites = 300;
    for (int i = 1; i <= kRewrites; ++i) {
        m_manager->publish(settingsAt(i % 2 ? 144 : 192, 1));
        setResources("Xft.dpi:\t" + std::to_string(96 + i) + "\n");
        XSync(m_backendDisplay, False);
        m_backend->processEvents();
    }
    m_manager->publish(settingsAt(120, 1));
    settle();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LE(m_backend->settingsReads(), 2 + static_cast<int>(seconds * 4)) << "in " << seconds << " s";
    EXPECT_EQ(m_backend->scale(), 1.25);
}

TEST_F(ScaleWatchTest, FollowsTheManagerThatTookTheSelectionOver) {
    m_manager = std::make_unique<SettingsManager>(settingsAt(192, 2));
    startBackend();
    ASSERT_EQ(m_backend->scale(), 2.0);
    auto first = std::move(m_manager);
    const Step steps[] = {
        {"a second manager took over", [&] { m_manager = std::make_unique<SettingsManager>(settingsAt(144, 1)); }, 1.5,
         1},
        {"the first one's settings changed", [&] { first->publish(settingsAt(288, 3)); }, 1.5, 1},
        {"the first one gone", [&] { first.reset(); }, 1.5, 1},
        {"the second one's settings changed", [&] { m_manager->publish(settingsAt(120, 1)); }, 1.25, 2},
    };
    runSteps(steps);
}

TEST_F(ScaleWatchTest, KeepsTheEnvironmentsScale) {
    setenv("OSTREL_SCALE", "1.5", 1);
    startBackend();
    const Step steps[] = {
        {"a manager started", [&] { m_manager = std::make_unique<SettingsManager>(settingsAt(192, 2)); }, 1.5, 0},
        {"the resource set", [&] { setResources("Xft.dpi:\t288\n"); }, 1.5, 0},
        {"the manager gone", [&] { m_manager.reset(); }, 1.5, 0},
    };
    runSteps(steps);
}

}  // namespace
