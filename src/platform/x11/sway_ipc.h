// sway's command socket (the i3 IPC protocol at $SWAYSOCK). sway centres a
// floating X window whenever the window asks to be moved or resized, and
// when it maps it, so there the socket is the only way to put the window
// where the program wants it. UI thread only; each command waits for its
// reply (a local socket, answered at once).
#pragma once

#include <memory>
#include <string>

namespace x11 {

class SwayIpc {
public:
    // Null when no sway session is there to talk to.
    static std::unique_ptr<SwayIpc> connect();
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    // Runs a command list; true when sway did all of it.
    bool run(const std::string& command);

private:
    explicit SwayIpc(int fd) : m_fd(fd) {}
    bool sendAll(const char* data, size_t size);
    bool readAll(char* data, size_t size);

    int m_fd;
};

}  // namespace x11
