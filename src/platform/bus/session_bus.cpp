// The session bus connection and its place in the message loop.
#include "platform/bus/session_bus.h"

#include <poll.h>
#include <time.h>

#include <cstdint>

#include "platform/win32/internal/poll_sources.h"

namespace bus {
namespace {

class Connection : public win32::PollSource {
public:
    ~Connection() override { close(); }

    sd_bus* get() {
        if (m_bus || m_failed) return m_bus;
        if (sd_bus_open_user(&m_bus) < 0) {
            m_bus = nullptr;
            m_failed = true;  // asked once: no bus now is no bus for this run
            return nullptr;
        }
        win32::addPollSource(this);
        return m_bus;
    }

    void close() {
        if (!m_bus) return;
        win32::removePollSource(this);
        m_bus = sd_bus_flush_close_unref(m_bus);
        m_failed = false;
    }

    int fd() override { return m_bus ? sd_bus_get_fd(m_bus) : -1; }

    short events() override {
        int events = m_bus ? sd_bus_get_events(m_bus) : 0;
        return static_cast<short>(events > 0 ? events : 0);
    }

    int timeoutMs() override {
        if (m_more) return 0;
        std::uint64_t due = 0;
        if (!m_bus || sd_bus_get_timeout(m_bus, &due) < 0 || due == UINT64_MAX) return -1;
        const std::uint64_t now = nowUs();
        if (due <= now) return 0;
        std::uint64_t waitMs = (due - now + 999) / 1000;
        return waitMs > 60000 ? 60000 : static_cast<int>(waitMs);
    }

    void dispatch() override {
        m_more = false;
        if (!m_bus) return;
        // Each call handles one message or reads a piece of one; handlers may
        // close the connection. A client streaming a huge message or a flood
        // of calls gets a slice of the loop at a time, so windows stay live.
        const std::uint64_t until = nowUs() + kSliceUs;
        int r = 0;
        while (m_bus && (r = sd_bus_process(m_bus, nullptr)) > 0) {
            if (nowUs() >= until) {
                m_more = true;
                return;
            }
        }
        // A bus that went away would keep the descriptor readable for ever:
        // stop polling it (its users saw the Disconnected message).
        if (m_bus && r < 0) close();
    }

private:
    static std::uint64_t nowUs() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
    }

    // The longest the loop serves the bus before it looks at windows again.
    static constexpr std::uint64_t kSliceUs = 8000;

    sd_bus* m_bus = nullptr;
    bool m_failed = false;
    bool m_more = false;  // stopped in the middle: serve again without waiting
};

Connection& connection() {
    static Connection instance;
    return instance;
}

}  // namespace

sd_bus* sessionBus() { return connection().get(); }

void closeSessionBus() { connection().close(); }

}  // namespace bus
