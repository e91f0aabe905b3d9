// The library's own System and what stands behind its handles: the sounds,
// the channel slots and the mixer the output pulls. Shared by system.cpp
// (configuration, sounds, channels on the system side), mixer.cpp and
// channel.cpp; the program never includes it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/output.h"
#include "platform/audio/stream.h"

namespace ostaudio {

struct SoundState {
    SystemState* system = nullptr;
    std::unique_ptr<Stream> stream;
    int channel = -1;  // the slot that plays it, or -1
};

struct ChannelSlot {
    Channel* handle = nullptr;
    Sound* sound = nullptr;  // null while the channel is free
    bool paused = false;
    bool drained = false;       // the stream ended; its tail may still be queued
    std::int64_t consumed = 0;  // frames taken from the stream since it started
    std::int64_t drainAt = 0;   // mixer frame just past the stream's last frame
    float volume = 1.0f;
    void* userData = nullptr;
    ChannelCallback callback = nullptr;
};

// The channels and the mixer. The output calls mix() and active() from its
// own thread with its lock held; everything else runs on the caller's thread.
struct SystemState : MixSource {
    OutputType outputType = OUTPUTTYPE_PULSEAUDIO;
    std::string wavPath;
    std::unique_ptr<Output> output;
    bool initialized = false;
    bool outputRunning = false;
    OutputFormat format;

    // Guards the channel slots and the sound list; taken after the output's
    // lock when both are needed.
    std::mutex mutex;
    std::vector<ChannelSlot> slots;
    std::vector<Sound*> sounds;
    std::int64_t mixed = 0;
    // The volume the output applies to the whole mix (1 for an output
    // without one); each channel's samples are scaled by its own volume
    // over this one, so a lone channel's samples pass untouched.
    float outputVolume = 1.0f;
    static constexpr int kScratchFrames = 4096;
    std::vector<float> scratch;  // kScratchFrames stereo frames, from init on

    // The output for `outputType`, made on first need.
    Output* ensureOutput();

    void mix(float* out, int frames, bool wait) override;
    bool active() override;
    int ready() override;

    // Runs the output while a channel plays and pauses it otherwise; `flush`
    // drops what a stopped channel left queued. No lock may be held.
    void syncOutput(bool flush);
    // Gives the output the loudest playing channel's volume, when it has a
    // volume of its own. No lock may be held.
    void syncVolume();

    // Called with `mutex` held.
    void detach(ChannelSlot& slot);
    ChannelSlot* slotOf(int index);

    // Frames of the channel heard so far, within the current pass of a loop.
    std::int64_t heardFrames(const ChannelSlot& slot, std::int64_t latency) const;

    static SoundState* stateOf(Sound* sound) { return sound->m_state; }
};

class MixingSystem final : public System {
public:
    MixingSystem(OutputType type, std::string wavPath);

    Result getVersion(unsigned* version) override;
    Result getNumDrivers(int* numdrivers) override;
    Result getDriverCaps(int id, Caps* caps, int* minfrequency, int* maxfrequency,
                         SpeakerMode* controlpanelspeakermode) override;
    Result getDriverInfo(int id, char* name, int namelen, Guid* guid) override;
    Result setOutput(OutputType output) override;
    Result getOutput(OutputType* output) override;
    Result setSpeakerMode(SpeakerMode speakermode) override;
    Result setDSPBufferSize(unsigned bufferlength, int numbuffers) override;
    Result setSoftwareFormat(int samplerate, SoundFormat format, int numoutputchannels, int maxinputchannels,
                             DspResampler resamplemethod) override;
    Result init(int maxchannels, InitFlags flags, void* extradriverdata) override;
    Result createSound(const char* name, Mode mode, CreateSoundExInfo* exinfo, Sound** sound) override;
    Result playSound(ChannelIndex channelid, Sound* sound, bool paused, Channel** channel) override;
    Result update() override;
    Result release() override;

    SystemState& state() { return m_state; }

private:
    ~MixingSystem() override = default;
    SystemState m_state;
};

}  // namespace ostaudio
