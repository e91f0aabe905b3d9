// The i3 IPC protocol as sway speaks it: a message is "i3-ipc", the payload
// length and the message type (native-endian 32-bit each), then the payload.
#include "platform/x11/sway_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace x11 {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::uint32_t kRunCommand = 0;
// Far more than any answer to our few commands; a larger one is not sway's.
constexpr std::uint32_t kMaxReply = 1 << 16;

// Waits until `fd` is ready for `events` or `deadline` has passed.
bool waitFor(int fd, short events, SwayIpc::Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SwayIpc::Clock::now()).count();
        if (left <= 0) return false;
        pollfd ready{fd, events, 0};
        const int polled = poll(&ready, 1, static_cast<int>(left));
        if (polled < 0 && errno == EINTR) continue;
        return polled > 0;
    }
}

}  // namespace

std::unique_ptr<SwayIpc> SwayIpc::connect() {
    const char* path = std::getenv("SWAYSOCK");
    if (!path || !*path) return nullptr;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path) return nullptr;
    std::strcpy(address.sun_path, path);
    // Non-blocking throughout: every wait is a poll against a deadline, and
    // a socket whose backlog is full (nobody accepting) fails at once.
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return nullptr;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<SwayIpc>(new SwayIpc(fd));
}

SwayIpc::~SwayIpc() {
    if (m_fd >= 0) close(m_fd);
}

bool SwayIpc::run(const std::string& command) {
    if (m_fd < 0) return false;
    char header[sizeof kMagic + 8];
    std::memcpy(header, kMagic, sizeof kMagic);
    const auto length = static_cast<std::uint32_t>(command.size());
    std::memcpy(header + sizeof kMagic, &length, 4);
    std::memcpy(header + sizeof kMagic + 4, &kRunCommand, 4);
    std::uint32_t replyLength = 0;
    std::vector<char> reply;
    const auto deadline = Clock::now() + kExchangeTime;
    bool ok = sendAll(header, sizeof header, deadline) && sendAll(command.data(), command.size(), deadline) &&
              readAll(header, sizeof header, deadline) && std::memcmp(header, kMagic, sizeof kMagic) == 0;
    if (ok) {
        std::memcpy(&replyLength, header + sizeof kMagic, 4);
        ok = replyLength <= kMaxReply;
    }
    if (ok) {
        reply.resize(replyLength);
        ok = readAll(reply.data(), reply.size(), deadline);
    }
    if (!ok) {
        // The stream is out of step, gone or too slow to wait for again: no
        // later command could be read, or be worth the wait.
        close(m_fd);
        m_fd = -1;
        return false;
    }
    // One result object per command: all must say success.
    const std::string text(reply.begin(), reply.end());
    return text.find("\"success\": false") == std::string::npos &&
           text.find("\"success\":false") == std::string::npos && text.find("\"success\"") != std::string::npos;
}

bool SwayIpc::sendAll(const char* data, size_t size, Clock::time_point deadline) {
    while (size > 0) {
        const ssize_t sent = send(m_fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(m_fd, POLLOUT, deadline)) return false;
            continue;
        }
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool SwayIpc::readAll(char* data, size_t size, Clock::time_point deadline) {
    while (size > 0) {
        if (!waitFor(m_fd, POLLIN, deadline)) return false;
        const ssize_t got = read(m_fd, data, size);
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (got <= 0) return false;
        data += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

}  // namespace x11
