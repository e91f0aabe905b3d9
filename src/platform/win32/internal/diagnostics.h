// What the layer reported, kept for tests: assertion reports, message boxes
// and, while a test asks for them, the InvalidateRect calls in order.
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

std::vector<std::string> assertionReports();
// Off by default, so a long run keeps no history; turning it on or off
// clears what was kept.
void logInvalidations(bool on);
std::vector<InvalidationRecord> invalidations();
std::vector<MessageBoxRecord> messageBoxes();
void clearDiagnostics();

void recordAssertion(const std::string& report);
void recordMessageBox(const MessageBoxRecord& record);
bool invalidationsLogged();
void recordInvalidation(const InvalidationRecord& record);

}  // namespace win32
