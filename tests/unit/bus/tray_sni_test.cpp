// Finding the tray item in a watcher's list, in the forms the watchers of
// KDE, GNOME, sway and others write it.
#include <gtest/gtest.h>

#include "platform/bus/tray_sni.h"

namespace {

TEST(SniItemListed, EachWatchersFormNamesTheItemAndNoOtherDoes) {
    const std::string wellKnown = "org.kde.StatusNotifierItem-42-1";
    const std::string unique = ":1.7";
    struct Case {
        std::vector<std::string> listed;
        bool expected;
    } cases[] = {
        {{}, false},
        {{"org.kde.StatusNotifierItem-42-1"}, true},                     // a name, alone
        {{"org.kde.StatusNotifierItem-42-1/StatusNotifierItem"}, true},  // name and path
        {{":1.7/StatusNotifierItem"}, true},                             // registered by path
        {{":1.7@/StatusNotifierItem"}, true},                            // GNOME's form
        {{":1.7"}, true},
        {{"other", ":1.9@/StatusNotifierItem", ":1.7@/StatusNotifierItem"}, true},
        // Someone else's items, also ones whose names begin like ours.
        {{"org.kde.StatusNotifierItem-42-10"}, false},
        {{"org.kde.StatusNotifierItem-421-1"}, false},
        {{":1.70/StatusNotifierItem"}, false},
        {{":1.7@/org/ayatana/NotificationItem/other"}, false},
        {{":1.7/MenuBar"}, false},
        {{":1.8@/StatusNotifierItem"}, false},
        {{""}, false},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& entry : c.listed) shown += "[" + entry + "]";
        EXPECT_EQ(bus::sniItemListed(c.listed, wellKnown, unique), c.expected) << shown;
    }
    EXPECT_FALSE(bus::sniItemListed({""}, wellKnown, "")) << "no unique name matches nothing";
    EXPECT_FALSE(bus::sniItemListed({"/StatusNotifierItem"}, wellKnown, "")) << "no unique name matches nothing";
}

}  // namespace
