// sway's command socket (the i3 IPC protocol at $SWAYSOCK). sway centres a
// floating X window whenever the window asks to be moved or resized, and
// when it maps it, so there the socket is the only way to put the window
// where the program wants it. UI thread only; each command waits for its
// reply, but the whole exchange has one deadline: a socket that answers
// slowly, or a byte at a time, costs the UI thread at most that long, once,
// and is then given up. Connecting never waits.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace x11 {

class SwayIpc {
public:
    using Clock = std::chrono::steady_clock;

    // Null when no sway session is there to talk to.
    static std::unique_ptr<SwayIpc> connect();
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    // Runs a command list; true when sway did all of it.
    bool run(const std::string& command);

    // How long one command with its reply may take in all.
    static constexpr std::chrono::milliseconds kExchangeTime{500};

private:
    explicit SwayIpc(int fd) : m_fd(fd) {}
    // Until `deadline`; false on an error, the peer closing or time up.
    bool sendAll(const char* data, size_t size, Clock::time_point deadline);
    bool readAll(char* data, size_t size, Clock::time_point deadline);

    int m_fd;
};

}  // namespace x11
