// Assertion reports, the recorded diagnostics and the fault switches.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/win32/assertion.h"
#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/internal/faults.h"

namespace win32 {
namespace {

struct Diagnostics {
    std::mutex mutex;
    std::vector<std::string> assertions;
    std::vector<MessageBoxRecord> boxes;
    int recordings = 0;
    std::atomic<bool> logInvalidations{false};
    std::vector<InvalidationRecord> invalidations;
    bool faults[static_cast<int>(Fault::Count)] = {};
};

Diagnostics& diagnostics() {
    static Diagnostics instance;
    return instance;
}

}  // namespace

DiagnosticsRecording::DiagnosticsRecording() {
    std::lock_guard lock(diagnostics().mutex);
    ++diagnostics().recordings;
}

DiagnosticsRecording::~DiagnosticsRecording() {
    std::lock_guard lock(diagnostics().mutex);
    if (--diagnostics().recordings > 0) return;
    diagnostics().assertions.clear();
    diagnostics().boxes.clear();
    diagnostics().logInvalidations = false;
    diagnostics().invalidations.clear();
}

std::vector<std::string> assertionReports() {
    std::lock_guard lock(diagnostics().mutex);
    return diagnostics().assertions;
}

std::vector<MessageBoxRecord> messageBoxes() {
    std::lock_guard lock(diagnostics().mutex);
    return diagnostics().boxes;
}

void clearDiagnostics() {
    std::lock_guard lock(diagnostics().mutex);
    diagnostics().assertions.clear();
    diagnostics().boxes.clear();
    diagnostics().logInvalidations = false;
    diagnostics().invalidations.clear();
}

void logInvalidations(bool on) {
    std::lock_guard lock(diagnostics().mutex);
    diagnostics().logInvalidations = on;
    diagnostics().invalidations.clear();
}

std::vector<InvalidationRecord> invalidations() {
    std::lock_guard lock(diagnostics().mutex);
    return diagnostics().invalidations;
}

bool invalidationsLogged() { return diagnostics().logInvalidations; }

void recordInvalidation(const InvalidationRecord& record) {
    std::lock_guard lock(diagnostics().mutex);
    if (diagnostics().logInvalidations) diagnostics().invalidations.push_back(record);
}

void recordAssertion(const std::string& report) {
    std::lock_guard lock(diagnostics().mutex);
    if (diagnostics().recordings > 0) diagnostics().assertions.push_back(report);
}

void recordMessageBox(const MessageBoxRecord& record) {
    std::lock_guard lock(diagnostics().mutex);
    if (diagnostics().recordings > 0) diagnostics().boxes.push_back(record);
}

bool faultActive(Fault fault) {
    std::lock_guard lock(diagnostics().mutex);
    return diagnostics().faults[static_cast<int>(fault)];
}

void setFault(Fault fault, bool active) {
    std::lock_guard lock(diagnostics().mutex);
    diagnostics().faults[static_cast<int>(fault)] = active;
}

void clearFaults() {
    std::lock_guard lock(diagnostics().mutex);
    for (bool& f : diagnostics().faults) f = false;
}

}  // namespace win32

void ReportAssertionFailure(const char* expression, const char* file, int line) {
    // Reports name the source by its base name, without the directories of the build.
    const char* base = std::strrchr(file, '/');
    base = base ? base + 1 : file;
    std::string name(base);
    if (auto dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    std::string report =
        "Assertion failed: " + std::string(expression) + ", file " + name + ", line " + std::to_string(line);
    std::fprintf(stderr, "%s\n", report.c_str());
    win32::recordAssertion(report);
}
