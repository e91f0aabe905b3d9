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

namespace {

// One connection of a stand-in for sway: reads each message and answers it
// with the next of `replies` (raw bytes), recording the commands; with a
// `gap`, a byte at a time, that long apart.
class FakeSway {
public:
    explicit FakeSway(std::vector<std::string> replies, std::chrono::milliseconds gap = {})
        : m_replies(std::move(replies)), m_gap(gap) {
        char dir[] = "/tmp/sway-ipc-test.XXXXXX";
        m_dir = mkdtemp(dir);
        m_path = m_dir + "/sock";
        m_listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, m_path.c_str());
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 1);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeSway() {
        shutdown(m_listener, SHUT_RDWR);
        if (m_thread.joinable()) m_thread.join();
        close(m_listener);
        unlink(m_path.c_str());
        rmdir(m_dir.c_str());
    }
    const std::string& path() const { return m_path; }
    // Once the client has closed its end.
    const std::vector<std::string>& commands() {
        if (m_thread.joinable()) m_thread.join();
        return m_commands;
    }
    // Once the client has closed its end: the reply bytes that went out.
    std::size_t sent() {
        if (m_thread.joinable()) m_thread.join();
        return m_sent;
    }

    static std::string message(const std::string& payload) {
        std::string bytes = "i3-ipc";
        const auto length = static_cast<std::uint32_t>(payload.size());
        const std::uint32_t type = 0;
        bytes.append(reinterpret_cast<const char*>(&length), 4);
        bytes.append(reinterpret_cast<const char*>(&type), 4);
        return bytes + payload;
    }

private:
    void serve() {
        const int fd = accept(m_listener, nullptr, nullptr);
        if (fd < 0) return;
        for (const std::string& reply : m_replies) {
            char header[14];
            if (!readAll(fd, header, sizeof header)) break;
            std::uint32_t length;
            std::memcpy(&length, header + 6, 4);
            std::string command(length, '\0');
            if (!readAll(fd, command.data(), length)) break;
            m_commands.push_back(std::string(header, 6) + "|" + command);
            if (!sendReply(fd, reply)) break;
        }
        // No more answers: the client reads the end rather than waiting.
        shutdown(fd, SHUT_WR);
        char rest;
        while (read(fd, &rest, 1) > 0) {
        }
        close(fd);
    }
    bool sendReply(int fd, const std::string& reply) {
        const size_t step = m_gap.count() > 0 ? 1 : reply.size();
        for (size_t at = 0; at < reply.size(); at += step) {
            if (send(fd, reply.data() + at, step, MSG_NOSIGNAL) != static_cast<ssize_t>(step)) return false;
            m_sent += step;
            if (m_gap.count() > 0) std::this_thread::sleep_for(m_gap);
        }
        return true;
    }
    static bool readAll(int fd, char* data, size_t size) {
        while (size > 0) {
            const ssize_t got = read(fd, data, size);
            if (got <= 0) return false;
            data += got;
            size -= static_cast<size_t>(got);
        }
        return true;
    }

    std::vector<std::string> m_replies;
    std::chrono::milliseconds m_gap;
    size_t m_sent = 0;
    std::string m_dir, m_path;
    int m_listener = -1;
    std::thread m_thread;
    std::vector<std::string> m_commands;
};

}  // namespace

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
