// A window whose procedure records every message it receives.
#pragma once

#include <functional>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/win32/user.h"

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class RecordingWindow {
public:
    // `answer` may override a message's result (return true to claim it).
    using Answer = std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)>;

    explicit RecordingWindow(DWORD exStyle = 0, UINT classStyle = 0, DWORD style = WS_VISIBLE);
    ~RecordingWindow();

    HWND hwnd() const { return m_hwnd; }
    std::vector<UINT> messages() const;
    const std::vector<Received>& received() const { return m_received; }
    void clear() { m_received.clear(); }
    void answer(Answer a) { m_answer = std::move(a); }

private:
    static LRESULT CALLBACK_Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_hwnd = nullptr;
    std::vector<Received> m_received;
    Answer m_answer;
};
