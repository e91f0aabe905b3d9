// What the layer reported, kept in memory for a test that asks for it:
// assertion reports and message boxes. The program itself records nothing;
// recording runs while at least one DiagnosticsRecording lives (the headless
// backend holds one).
#pragma once

#include <string>
#include <vector>

namespace win32 {

struct MessageBoxRecord {
    std::string caption;
    std::string text;
    unsigned type = 0;
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
std::vector<MessageBoxRecord> messageBoxes();
void clearDiagnostics();

// Kept only while recording.
void recordAssertion(const std::string& report);
void recordMessageBox(const MessageBoxRecord& record);

}  // namespace win32
