// A stand-in for sway's command socket, for the tests of what talks to it.
#pragma once

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

namespace x11_test {

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

}  // namespace x11_test
