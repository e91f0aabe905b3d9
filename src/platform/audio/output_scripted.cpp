// The scripted test output: reports the version, drivers, caps, speaker mode
// and init results a test sets, logs the configuration calls made on it, and
// otherwise behaves as the fast output.
#include <mutex>

#include "platform/audio/audio_testing.h"
#include "platform/audio/output_fast.h"

namespace ostaudio {

namespace {

std::mutex g_mutex;
testing::Script g_script;
std::size_t g_nextInit = 0;
std::vector<std::string> g_calls;

class ScriptedOutput : public FastOutput {
public:
    ~ScriptedOutput() override { FastOutput::close(); }

    int numDrivers() override {
        std::lock_guard<std::mutex> lock(g_mutex);
        return g_script.numDriversResult == OK ? g_script.numDrivers : -1;
    }
    bool driverName(int id, std::string* name) override {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (id < 0 || id >= g_script.numDrivers) return false;
        *name = g_script.driverName;
        return true;
    }
    Caps driverCaps(int /*id*/) override {
        std::lock_guard<std::mutex> lock(g_mutex);
        return g_script.caps;
    }
    SpeakerMode driverSpeakerMode(int /*id*/) override {
        std::lock_guard<std::mutex> lock(g_mutex);
        return g_script.speakerMode;
    }
    Result open(int /*driver*/, const OutputFormat& format, MixSource* source) override {
        Result rc = OK;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (g_nextInit < g_script.initResults.size()) rc = g_script.initResults[g_nextInit++];
        }
        if (rc != OK) return rc;
        // Whatever driver the script lists, there is one place to play.
        return FastOutput::open(0, format, source);
    }
    void record(const std::string& call) override {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_calls.push_back(call);
    }
    bool isScripted() const override { return true; }
    unsigned scriptedVersion() const override {
        std::lock_guard<std::mutex> lock(g_mutex);
        return g_script.version;
    }

protected:
    const char* name() const override { return "Scripted"; }
};

}  // namespace

std::unique_ptr<Output> makeScriptedOutput() { return std::make_unique<ScriptedOutput>(); }

Result scriptedCreateResult() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_script.createResult;
}

namespace testing {

void setScript(const Script& script) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_script = script;
    g_nextInit = 0;
    g_calls.clear();
}

std::vector<std::string> scriptedCalls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_calls;
}

}  // namespace testing
}  // namespace ostaudio
