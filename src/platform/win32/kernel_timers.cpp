// Timer-queue timers on one pool thread. A late timer is rescheduled from
// now, not caught up. Deleting a timer never waits for its callback.
#include <chrono>
#include <condition_variable>
#include <map>
#include <thread>

#include "platform/win32/internal/handles.h"
#include "platform/win32/internal/window.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"

namespace win32 {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer : Object {
    WAITORTIMERCALLBACK callback = nullptr;
    PVOID parameter = nullptr;
    DWORD period = 0;
    Clock::time_point due;
};

class TimerPool {
public:
    ~TimerPool() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable()) m_thread.join();
    }

    HANDLE add(std::shared_ptr<Timer> timer) {
        HANDLE handle = addHandle(HandleKind::Timer, timer);
        {
            std::lock_guard lock(m_mutex);
            m_timers[handle] = std::move(timer);
            if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
        }
        m_wake.notify_all();
        return handle;
    }

    // Returns false when the callback is running right now (it is not waited for).
    bool remove(HANDLE handle) {
        std::lock_guard lock(m_mutex);
        m_timers.erase(handle);
        removeHandle(handle, HandleKind::Timer);
        return m_running != handle;
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            auto next = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
                if (next == m_timers.end() || it->second->due < next->second->due) next = it;
            if (next == m_timers.end()) {
                m_wake.wait(lock);
                continue;
            }
            // A copy: the timer may be deleted while this thread waits.
            Clock::time_point due = next->second->due;
            if (Clock::now() < due) {
                m_wake.wait_until(lock, due);
                continue;
            }
            HANDLE handle = next->first;
            std::shared_ptr<Timer> timer = next->second;
            if (timer->period)
                timer->due = Clock::now() + std::chrono::milliseconds(timer->period);
            else
                m_timers.erase(next);
            m_running = handle;
            lock.unlock();
            {
                WakeBatch batch;
                timer->callback(timer->parameter, TRUE);
            }
            lock.lock();
            m_running = nullptr;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<HANDLE, std::shared_ptr<Timer>> m_timers;
    HANDLE m_running = nullptr;
    bool m_stopping = false;
    std::thread m_thread;
};

TimerPool& pool() {
    static TimerPool instance;
    return instance;
}

}  // namespace
}  // namespace win32

using namespace win32;

BOOL CreateTimerQueueTimer(PHANDLE timerOut, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID parameter, DWORD dueTime,
                           DWORD period, ULONG) {
    if (!timerOut || !callback || queue) {  // only the default queue exists
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto timer = std::make_shared<Timer>();
    timer->callback = callback;
    timer->parameter = parameter;
    timer->period = period;
    timer->due = Clock::now() + std::chrono::milliseconds(dueTime);
    *timerOut = pool().add(timer);
    return TRUE;
}

BOOL DeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completionEvent) {
    if (queue || completionEvent || !findHandle(timer, HandleKind::Timer)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!pool().remove(timer)) {
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    return TRUE;
}
