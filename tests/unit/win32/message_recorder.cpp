#include "message_recorder.h"

#include <map>
#include <string>

namespace {
std::map<HWND, RecordingWindow*>& owners() {
    static std::map<HWND, RecordingWindow*> map;
    return map;
}
RecordingWindow* creating = nullptr;
int classCount = 0;
}  // namespace

RecordingWindow::RecordingWindow(DWORD exStyle, UINT classStyle, DWORD style) {
    std::wstring name = L"Recorder" + std::to_wstring(++classCount);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = CALLBACK_Proc;
    wc.lpszClassName = name.c_str();
    RegisterClassExW(&wc);
    creating = this;
    m_hwnd = CreateWindowExW(exStyle, name.c_str(), L"Recorder", style, 50, 60, 540, 200, nullptr, nullptr, nullptr,
                             nullptr);
    creating = nullptr;
    owners()[m_hwnd] = this;
}

RecordingWindow::~RecordingWindow() {
    if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
    owners().erase(m_hwnd);
}

std::vector<UINT> RecordingWindow::messages() const {
    std::vector<UINT> out;
    for (const Received& r : m_received) out.push_back(r.message);
    return out;
}

LRESULT RecordingWindow::CALLBACK_Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    RecordingWindow* self = creating;
    if (auto it = owners().find(hwnd); it != owners().end()) self = it->second;
    if (self) {
        self->m_received.push_back({message, wParam, lParam});
        LRESULT result = 0;
        if (self->m_answer && self->m_answer(message, wParam, lParam, &result)) return result;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
