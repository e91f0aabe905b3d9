// A system that answers the configuration calls from a test's script and
// logs them, and plays through a mixing system on a NOSOUND_NRT output.
#pragma once

#include "platform/audio/audio.h"

namespace ostaudio::testing {

class ScriptedSystem final : public System {
public:
    explicit ScriptedSystem(System* inner) : m_inner(inner) {}

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

    System* inner() const { return m_inner; }

private:
    ~ScriptedSystem() override = default;
    System* m_inner;
};

}  // namespace ostaudio::testing
