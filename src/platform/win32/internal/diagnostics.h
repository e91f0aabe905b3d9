// What the layer reported, kept in memory for a test that asks for it:
// assertion reports, message boxes and, while a test turns the log on, the
// InvalidateRect calls in order. The program itself records nothing;
// recording runs while at least one DiagnosticsRecording lives (the headless
// backend holds one).
#pragma once

#include <string>
#include <vector>

#include "platform/win32/types.h"

namespace win32 {

struct MessageBoxRecord {
    std::string caption;
    std::string text;
    unsigned type = 0;
};

struct InvalidationRecord {
    HWND hwnd = nullptr;
    RECT rect{};  // the rectangle asked for; the whole client area for NULL
    bool whole = false;
};

class DiagnosticsRecording {
public:
    DiagnosticsRecording();   // starts recording (or joins one running)
    ~DiagnosticsRecording();  // the last one to end drops what was recorded
    DiagnosticsRecording(const DiagnosticsRecording&) = delete;
    DiagnosticsRecording& operator=(const DiagnosticsRecording&) = delete;
};

// Empty while nothing records.
std::vector<std::string> assertionReports();
// Off by default, so a long run keeps no history; turning it on or off
// clears what was kept.
void logInvalidations(bool on);
std::vector<InvalidationRecord> invalidations();
std::vector<MessageBoxRecord> messageBoxes();
void clearDiagnostics();

// Kept only while recording.
void recordAssertion(const std::string& report);
void recordMessageBox(const MessageBoxRecord& record);
bool invalidationsLogged();
void recordInvalidation(const InvalidationRecord& record);

}  // namespace win32
