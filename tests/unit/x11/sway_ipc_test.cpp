#include "platform/x11/sway_ipc.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fake_sway.h"

using x11_test::FakeSway;

TEST(SwayIpc, RepliesDecideSuccess) {
    struct Case {
        const char* name;
        std::string reply;
        bool ok;
    };
    const Case cases[] = {
        {"all done", FakeSway::message(R"([ { "success": true }, { "success": true } ])"), true},
        {"compact json", FakeSway::message(R"([{"success":true}])"), true},
        {"one failed", FakeSway::message(R"([ { "success": true }, { "success": false, "error": "x" } ])"), false},
        {"no node", FakeSway::message(R"([{"success":false,"error":"No matching node."}])"), false},
        {"no result", FakeSway::message("[]"), false},
        {"not sway", "HTTP/1.1 400 Bad Request\r\n\r\n", false},
        {"cut short", FakeSway::message(R"([ { "success": true } ])").substr(0, 20), false},
    };
    for (const Case& c : cases) {
        FakeSway sway({c.reply});
        setenv("SWAYSOCK", sway.path().c_str(), 1);
        std::unique_ptr<x11::SwayIpc> ipc = x11::SwayIpc::connect();
        ASSERT_TRUE(ipc) << c.name;
        EXPECT_EQ(ipc->run("[id=42] sticky enable"), c.ok) << c.name;
        ipc.reset();
        ASSERT_EQ(sway.commands().size(), 1u) << c.name;
        EXPECT_EQ(sway.commands()[0], "i3-ipc|[id=42] sticky enable") << c.name;
    }
    unsetenv("SWAYSOCK");
}

TEST(SwayIpc, StreamOutOfStepStopsTalking) {
    // A garbled answer leaves no way to find the next one: later commands
    // fail at once rather than read a stale reply.
    FakeSway sway({"garbage-and-more", FakeSway::message(R"([{"success":true}])")});
    setenv("SWAYSOCK", sway.path().c_str(), 1);
    std::unique_ptr<x11::SwayIpc> ipc = x11::SwayIpc::connect();
    ASSERT_TRUE(ipc);
    EXPECT_FALSE(ipc->run("first"));
    EXPECT_FALSE(ipc->run("second"));
    ipc.reset();
    EXPECT_EQ(sway.commands().size(), 1u);
    unsetenv("SWAYSOCK");
}

TEST(SwayIpc, ReplyThatDribblesIsGivenUp) {
    // A byte every 50 ms keeps every single read short; only a deadline over
    // the whole exchange stops the wait before all of the reply (3 s of
    // it) has come, and the socket is not waited on again.
    const std::string reply = FakeSway::message(std::string(40, ' ') + R"([{"success":true}])");
    FakeSway sway({reply, reply}, std::chrono::milliseconds(50));
    setenv("SWAYSOCK", sway.path().c_str(), 1);
    std::unique_ptr<x11::SwayIpc> ipc = x11::SwayIpc::connect();
    ASSERT_TRUE(ipc);
    EXPECT_FALSE(ipc->run("first"));
    EXPECT_FALSE(ipc->run("second"));
    ipc.reset();
    EXPECT_LT(sway.sent(), reply.size());
    EXPECT_EQ(sway.commands().size(), 1u);
    unsetenv("SWAYSOCK");
}

TEST(SwayIpc, SocketNobodyAcceptsOnIsNoSession) {
    // Its backlog full, a blocking connect would wait for as long as the
    // socket lives.
    char dir[] = "/tmp/sway-ipc-test.XXXXXX";
    const std::string path = std::string(mkdtemp(dir)) + "/sock";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    std::vector<int> waiting;
    for (int i = 0; i < 64; ++i) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            break;
        }
        waiting.push_back(fd);
    }
    setenv("SWAYSOCK", path.c_str(), 1);
    EXPECT_FALSE(x11::SwayIpc::connect());
    unsetenv("SWAYSOCK");
    for (int fd : waiting) close(fd);
    close(listener);
    unlink(path.c_str());
    rmdir(dir);
}

TEST(SwayIpc, NoSessionNoConnection) {
    unsetenv("SWAYSOCK");
    EXPECT_FALSE(x11::SwayIpc::connect());
    setenv("SWAYSOCK", "", 1);
    EXPECT_FALSE(x11::SwayIpc::connect());
    setenv("SWAYSOCK", "/nonexistent/sway.sock", 1);
    EXPECT_FALSE(x11::SwayIpc::connect());
    setenv("SWAYSOCK", std::string(200, 'x').c_str(), 1);  // longer than a socket path may be
    EXPECT_FALSE(x11::SwayIpc::connect());
    unsetenv("SWAYSOCK");
}
