// The tray item's empty menu as a host sees it, over a private
// peer-to-peer connection: the root's properties, and unknown items refused
// or reported the way dbusmenu asks (the layout itself is checked end to end).
#include "platform/bus/tray_sni_menu.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

struct SniMenuTest : ::testing::Test {
    SniMenuTest() {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds), 0);
        sd_id128_t id{};
        sd_bus_new(&server);
        sd_bus_set_fd(server, fds[0], fds[0]);
        sd_bus_set_server(server, 1, id);
        EXPECT_GE(sd_bus_start(server), 0);
        sd_bus_new(&client);
        sd_bus_set_fd(client, fds[1], fds[1]);
        EXPECT_GE(sd_bus_start(client), 0);
        menu = new bus::SniMenu(server);
        EXPECT_TRUE(menu->exported());
    }
    ~SniMenuTest() override {
        delete menu;
        sd_bus_flush_close_unref(client);
        sd_bus_flush_close_unref(server);
    }

    // Calls METHOD with the arguments `append` adds and returns the reply
    // (or error) once both ends have processed it; the caller unrefs it.
    sd_bus_message* Call(const char* method, const std::function<void(sd_bus_message*)>& append) {
        sd_bus_message* call = nullptr;
        EXPECT_GE(sd_bus_message_new_method_call(client, &call, nullptr, bus::SniMenu::kPath, "com.canonical.dbusmenu",
                                                 method),
                  0);
        append(call);
        sd_bus_message* reply = nullptr;
        auto done = [](sd_bus_message* m, void* data, sd_bus_error*) {
            *static_cast<sd_bus_message**>(data) = sd_bus_message_ref(m);
            return 0;
        };
        EXPECT_GE(sd_bus_call_async(client, nullptr, call, done, &reply, 0), 0);
        sd_bus_message_unref(call);
        for (int i = 0; i < 1000 && !reply; ++i) {
            while (sd_bus_process(server, nullptr) > 0) {
            }
            while (sd_bus_process(client, nullptr) > 0) {
            }
            if (!reply) {
                sd_bus_wait(server, 1000);
                sd_bus_wait(client, 1000);
            }
        }
        return reply;
    }

    sd_bus* server = nullptr;
    sd_bus* client = nullptr;
    bus::SniMenu* menu = nullptr;
};

std::string ErrorName(sd_bus_message* reply) {
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    return error && error->name ? error->name : "";
}

TEST_F(SniMenuTest, GroupCallsAnswerForTheRootAndNameTheUnknownIds) {
    sd_bus_message* reply =
        Call("GetGroupProperties", [](sd_bus_message* m) { sd_bus_message_append(m, "aias", 3, 4, 0, 9, 0); });
    ASSERT_NE(reply, nullptr);
    ASSERT_EQ(ErrorName(reply), "");
    int id = -1;
    const char *key = nullptr, *value = nullptr;
    ASSERT_GE(sd_bus_message_enter_container(reply, 'a', "(ia{sv})"), 0);
    ASSERT_GE(sd_bus_message_read(reply, "(ia{sv})", &id, 1, &key, "s", &value), 0);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(sd_bus_message_at_end(reply, 0), 1) << "only the root has properties";
    sd_bus_message_unref(reply);

    reply = Call("AboutToShowGroup", [](sd_bus_message* m) { sd_bus_message_append(m, "ai", 3, 0, 5, 6); });
    ASSERT_NE(reply, nullptr);
    ASSERT_EQ(ErrorName(reply), "");
    const void* updates = nullptr;
    const void* errors = nullptr;
    size_t updatesSize = 0, errorsSize = 0;
    ASSERT_GE(sd_bus_message_read_array(reply, 'i', &updates, &updatesSize), 0);
    ASSERT_GE(sd_bus_message_read_array(reply, 'i', &errors, &errorsSize), 0);
    EXPECT_EQ(updatesSize, 0u);
    ASSERT_EQ(errorsSize, 2 * sizeof(int));
    EXPECT_EQ(static_cast<const int*>(errors)[0], 5);
    EXPECT_EQ(static_cast<const int*>(errors)[1], 6);
    sd_bus_message_unref(reply);

    reply = Call("EventGroup", [](sd_bus_message* m) {
        sd_bus_message_append(m, "a(isvu)", 2, 0, "opened", "i", 0, 1u, 8, "clicked", "i", 0, 2u);
    });
    ASSERT_NE(reply, nullptr);
    ASSERT_EQ(ErrorName(reply), "");
    ASSERT_GE(sd_bus_message_read_array(reply, 'i', &errors, &errorsSize), 0);
    ASSERT_EQ(errorsSize, sizeof(int));
    EXPECT_EQ(static_cast<const int*>(errors)[0], 8);
    sd_bus_message_unref(reply);
}

TEST_F(SniMenuTest, SingleCallsOnTheRootSucceedAndOnOtherIdsFail) {
    struct Case {
        const char* method;
        std::function<void(sd_bus_message*)> append;
        bool ok;
    } cases[] = {
        {"GetLayout", [](sd_bus_message* m) { sd_bus_message_append(m, "iias", 0, -1, 0); }, true},
        {"GetLayout", [](sd_bus_message* m) { sd_bus_message_append(m, "iias", 7, 1, 0); }, false},
        {"AboutToShow", [](sd_bus_message* m) { sd_bus_message_append(m, "i", 0); }, true},
        {"AboutToShow", [](sd_bus_message* m) { sd_bus_message_append(m, "i", 1); }, false},
        {"Event", [](sd_bus_message* m) { sd_bus_message_append(m, "isvu", 0, "opened", "i", 0, 0u); }, true},
        {"Event", [](sd_bus_message* m) { sd_bus_message_append(m, "isvu", 2, "clicked", "i", 0, 0u); }, false},
        {"GetProperty", [](sd_bus_message* m) { sd_bus_message_append(m, "is", 0, "children-display"); }, true},
        {"GetProperty", [](sd_bus_message* m) { sd_bus_message_append(m, "is", 0, "label"); }, false},
        {"GetProperty", [](sd_bus_message* m) { sd_bus_message_append(m, "is", 3, "children-display"); }, false},
    };
    for (const Case& c : cases) {
        sd_bus_message* reply = Call(c.method, c.append);
        ASSERT_NE(reply, nullptr) << c.method;
        EXPECT_EQ(ErrorName(reply).empty(), c.ok) << c.method << ": " << ErrorName(reply);
        if (c.ok && std::string(c.method) == "AboutToShow") {
            int needUpdate = 1;
            EXPECT_GE(sd_bus_message_read(reply, "b", &needUpdate), 0);
            EXPECT_EQ(needUpdate, 0);
        }
        sd_bus_message_unref(reply);
    }
}

}  // namespace

TEST_F(SniMenuTest, GroupCallsOverLongerListsThanAnyHostSendsAreRefused) {
    // 256 ids are answered; 65536, as a hostile client might send, are
    // refused at the first id past that, without a reply that names them all.
    for (const std::size_t count : {std::size_t{256}, std::size_t{1} << 16}) {
        std::vector<int> ids(count, 7);
        ids[0] = 0;
        const bool ok = count == 256;
        for (const char* method : {"GetGroupProperties", "AboutToShowGroup", "EventGroup"}) {
            sd_bus_message* reply = Call(method, [&](sd_bus_message* m) {
                if (std::string(method) == "EventGroup") {
                    sd_bus_message_open_container(m, 'a', "(isvu)");
                    for (int id : ids) sd_bus_message_append(m, "(isvu)", id, "opened", "i", 0, 0u);
                    sd_bus_message_close_container(m);
                    return;
                }
                sd_bus_message_append_array(m, 'i', ids.data(), ids.size() * sizeof(int));
                if (std::string(method) == "GetGroupProperties") sd_bus_message_append(m, "as", 0);
            });
            ASSERT_NE(reply, nullptr) << method;
            EXPECT_EQ(ErrorName(reply), ok ? "" : "org.freedesktop.DBus.Error.LimitsExceeded")
                << method << " " << count;
            sd_bus_message_unref(reply);
        }
    }
}
