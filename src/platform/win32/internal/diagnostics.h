// What the layer reported, kept for tests: assertion reports and message boxes.
#pragma once

#include <string>
#include <vector>

namespace win32 {

struct MessageBoxRecord {
    std::string caption;
    std::string text;
    unsigned type = 0;
};

std::vector<std::string> assertionReports();
std::vector<MessageBoxRecord> messageBoxes();
void clearDiagnostics();

void recordAssertion(const std::string& report);
void recordMessageBox(const MessageBoxRecord& record);

}  // namespace win32
