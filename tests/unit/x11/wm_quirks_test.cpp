#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fake_sway.h"
#include "platform/x11/sway_quirks.h"
#include "platform/x11/x11_internal.h"

namespace {

using x11_test::FakeSway;

const std::string kDone = FakeSway::message(R"([{"success":true}])");
const std::string kNoNode = FakeSway::message(R"([{"success":false,"error":"No matching node."}])");

// A strip hidden at (100, 50) whose X window covers client (10, 20)-(110, 60).
x11::WindowState hiddenStrip() {
    x11::WindowState window;
    window.xid = 42;
    window.desc.topmost = true;
    window.box = {10, 20, 110, 60};
    window.originKnown = true;
    window.origin = {100, 50};
    return window;
}

// Quirks talking to `sway`, counting the X syncs made before each command.
struct SwaySession {
    explicit SwaySession(FakeSway& sway) {
        setenv("SWAYSOCK", sway.path().c_str(), 1);
        quirks = std::make_unique<x11::SwayQuirks>([this] { ++syncs; }, x11::SwayIpc::connect());
        unsetenv("SWAYSOCK");
    }
    std::unique_ptr<x11::SwayQuirks> quirks;
    int syncs = 0;
};

TEST(WmQuirks, WithoutSwayNothingChanges) {
    unsetenv("SWAYSOCK");
    std::unique_ptr<x11::WmQuirks> quirks = x11::wmQuirks(nullptr);
    ASSERT_TRUE(quirks);
    EXPECT_FALSE(quirks->placesWindows());
    x11::WindowState window = hiddenStrip();
    EXPECT_FALSE(quirks->place(window, 1, 2, 3, 4));
    quirks->beforeMap(window);
    quirks->windowEvent(window);
    EXPECT_FALSE(window.afterMapPending);
    EXPECT_FALSE(quirks->holdsOrigin(window));
}

TEST(WmQuirks, SwaySessionGetsSwaysQuirks) {
    FakeSway sway({});
    setenv("SWAYSOCK", sway.path().c_str(), 1);
    std::unique_ptr<x11::WmQuirks> quirks = x11::wmQuirks(nullptr);
    unsetenv("SWAYSOCK");
    ASSERT_TRUE(quirks);
    EXPECT_TRUE(quirks->placesWindows());
}

// sway centres what it maps: a window shown again is put back where it was
// hidden, and on every workspace, once sway has taken it as its own; until
// then its place is sway's, no news for the core.
TEST(SwayQuirks, WindowShownAgainIsPutBackOnceSwayHasIt) {
    FakeSway sway({kNoNode, kDone});
    x11::WindowState window = hiddenStrip();
    {
        SwaySession session(sway);
        session.quirks->beforeMap(window);
        EXPECT_TRUE(session.quirks->holdsOrigin(window));
        session.quirks->windowEvent(window);  // not sway's yet
        EXPECT_TRUE(window.afterMapPending);
        EXPECT_TRUE(session.quirks->holdsOrigin(window));
        session.quirks->windowEvent(window);
        EXPECT_FALSE(window.afterMapPending);
        EXPECT_FALSE(session.quirks->holdsOrigin(window));
        session.quirks->windowEvent(window);  // done: nothing more is sent
        EXPECT_EQ(session.syncs, 2);
    }
    const std::string command =
        "i3-ipc|[id=42] resize set width 100 px height 40 px, move absolute position 110 70, sticky enable";
    EXPECT_EQ(sway.commands(), (std::vector<std::string>{command, command}));
}

TEST(SwayQuirks, WhatNeedsNoCommandSendsNone) {
    struct Case {
        const char* name;
        bool originKnown, iconic, topmost, hiddenBeforeEvent, timedOut;
    };
    const Case cases[] = {
        {"first showing, not on top", false, false, false, false, false},
        {"restored from an icon, not on top", true, true, false, false, false},
        {"hidden again before sway had it", true, false, true, true, false},
        {"sway never took it in time", true, false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSway sway({kDone});
        x11::WindowState window = hiddenStrip();
        window.originKnown = c.originKnown;
        window.iconic = c.iconic;
        window.desc.topmost = c.topmost;
        {
            SwaySession session(sway);
            session.quirks->beforeMap(window);
            EXPECT_EQ(session.quirks->holdsOrigin(window), c.originKnown && !c.iconic);
            if (c.hiddenBeforeEvent) session.quirks->hidden(window);
            if (c.timedOut) window.afterMapUntil = std::chrono::steady_clock::now() - std::chrono::seconds(1);
            session.quirks->windowEvent(window);
            EXPECT_FALSE(window.afterMapPending);
            EXPECT_FALSE(session.quirks->holdsOrigin(window));
        }
        EXPECT_TRUE(sway.commands().empty());
    }
}

TEST(SwayQuirks, PlacingGoesThroughSwayAfterTheXRequests) {
    FakeSway sway({kDone, kNoNode});
    const x11::WindowState window = hiddenStrip();
    {
        SwaySession session(sway);
        EXPECT_TRUE(session.quirks->place(window, 5, 6, 70, 80));
        EXPECT_FALSE(session.quirks->place(window, 5, 6, 70, 80));
        EXPECT_EQ(session.syncs, 2);
    }
    ASSERT_EQ(sway.commands().size(), 2u);
    EXPECT_EQ(sway.commands()[0], "i3-ipc|[id=42] resize set width 70 px height 80 px, move absolute position 5 6");
}

}  // namespace
