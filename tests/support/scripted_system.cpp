// The scripted system (see scripted_system.h) and the script it follows.
#include "support/scripted_system.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/audio/system_maker.h"
#include "platform/audio/system_state.h"
#include "support/audio_testing.h"

namespace ostaudio::testing {

namespace {

std::mutex g_mutex;
Script g_script;
std::size_t g_nextInit = 0;
std::vector<std::string> g_calls;

void record(const std::string& call) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.push_back(call);
}

Script script() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_script;
}

Result makeScripted(System** system) {
    Result rc = script().createResult;
    if (rc != OK) return rc;
    auto* inner = new (std::nothrow) MixingSystem(OUTPUTTYPE_NOSOUND_NRT, "");
    if (inner == nullptr) return ERR_MEMORY;
    auto* scripted = new (std::nothrow) ScriptedSystem(inner);
    if (scripted == nullptr) {
        inner->release();
        return ERR_MEMORY;
    }
    *system = scripted;
    return OK;
}

}  // namespace

void setScript(const Script& script) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_script = script;
        g_nextInit = 0;
        g_calls.clear();
    }
    setSystemMaker(makeScripted);
}

void clearScript() { setSystemMaker(nullptr); }

std::vector<std::string> scriptedCalls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_calls;
}

Result ScriptedSystem::getVersion(unsigned* version) {
    if (version == nullptr) return ERR_INVALID_PARAM;
    *version = script().version;
    return OK;
}

Result ScriptedSystem::getNumDrivers(int* numdrivers) {
    if (numdrivers == nullptr) return ERR_INVALID_PARAM;
    record("getNumDrivers");
    Script s = script();
    if (s.numDriversResult != OK) {
        *numdrivers = 0;
        return ERR_OUTPUT_INIT;
    }
    *numdrivers = s.numDrivers;
    return OK;
}

Result ScriptedSystem::getDriverCaps(int id, Caps* caps, int* minfrequency, int* maxfrequency,
                                     SpeakerMode* controlpanelspeakermode) {
    record("getDriverCaps " + std::to_string(id));
    Script s = script();
    int drivers = s.numDriversResult == OK ? s.numDrivers : -1;
    if (id < 0 || id >= drivers) return ERR_INVALID_PARAM;
    if (caps != nullptr) *caps = s.caps;
    if (minfrequency != nullptr) *minfrequency = 8000;
    if (maxfrequency != nullptr) *maxfrequency = 192000;
    if (controlpanelspeakermode != nullptr) *controlpanelspeakermode = s.speakerMode;
    return OK;
}

Result ScriptedSystem::getDriverInfo(int id, char* name, int namelen, Guid* guid) {
    record("getDriverInfo " + std::to_string(id) + " " + std::to_string(namelen));
    Script s = script();
    if (id < 0 || id >= s.numDrivers) return ERR_INVALID_PARAM;
    if (name != nullptr) {
        if (namelen <= 0) return ERR_INVALID_PARAM;
        std::size_t n = std::min(s.driverName.size(), (std::size_t)namelen - 1);
        std::memcpy(name, s.driverName.data(), n);
        name[n] = '\0';
    }
    if (guid != nullptr) std::memset(guid, 0, sizeof *guid);
    return OK;
}

// A scripted system stays scripted: the test decides what it reports.
Result ScriptedSystem::setOutput(OutputType type) {
    record("setOutput " + std::to_string((int)type));
    return OK;
}

Result ScriptedSystem::getOutput(OutputType* type) { return m_inner->getOutput(type); }

Result ScriptedSystem::setSpeakerMode(SpeakerMode mode) {
    record("setSpeakerMode " + std::to_string((int)mode));
    return m_inner->setSpeakerMode(mode);
}

Result ScriptedSystem::setDSPBufferSize(unsigned bufferlength, int numbuffers) {
    record("setDSPBufferSize " + std::to_string(bufferlength) + " " + std::to_string(numbuffers));
    return m_inner->setDSPBufferSize(bufferlength, numbuffers);
}

Result ScriptedSystem::setSoftwareFormat(int samplerate, SoundFormat format, int numoutputchannels,
                                         int maxinputchannels, DspResampler resamplemethod) {
    record("setSoftwareFormat " + std::to_string(samplerate) + " " + std::to_string((int)format) + " " +
           std::to_string(numoutputchannels) + " " + std::to_string(maxinputchannels) + " " +
           std::to_string((int)resamplemethod));
    return m_inner->setSoftwareFormat(samplerate, format, numoutputchannels, maxinputchannels, resamplemethod);
}

// Answers from the script, drivers or not; then the inner system opens.
Result ScriptedSystem::init(int maxchannels, InitFlags flags, void* extradriverdata) {
    record("init " + std::to_string(maxchannels) + " " + std::to_string(flags));
    Result rc = OK;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_nextInit < g_script.initResults.size()) rc = g_script.initResults[g_nextInit++];
    }
    if (rc != OK) return rc;
    return m_inner->init(maxchannels, flags, extradriverdata);
}

Result ScriptedSystem::createSound(const char* name, Mode mode, CreateSoundExInfo* exinfo, Sound** sound) {
    return m_inner->createSound(name, mode, exinfo, sound);
}

Result ScriptedSystem::playSound(ChannelIndex channelid, Sound* sound, bool paused, Channel** channel) {
    return m_inner->playSound(channelid, sound, paused, channel);
}

Result ScriptedSystem::update() { return m_inner->update(); }

Result ScriptedSystem::release() {
    m_inner->release();
    delete this;
    return OK;
}

}  // namespace ostaudio::testing
