// Reaching into the audio library for tests (see audio_testing.h).
#include "support/audio_testing.h"

#include "platform/audio/decoder.h"
#include "platform/audio/output_nosound_nrt.h"
#include "platform/audio/system_state.h"
#include "support/scripted_system.h"

namespace ostaudio::testing {

namespace {

// The mixing system behind `system`, a scripted one included.
MixingSystem* mixerOf(System* system) {
    if (auto* scripted = dynamic_cast<ScriptedSystem*>(system)) system = scripted->inner();
    return dynamic_cast<MixingSystem*>(system);
}

}  // namespace

Result advance(System* system, long frames) {
    MixingSystem* mixer = mixerOf(system);
    if (mixer == nullptr || frames < 0) return ERR_INVALID_PARAM;
    SystemState& s = mixer->state();
    if (!s.initialized) return ERR_UNINITIALIZED;
    return s.output->advance(frames);
}

int outputRate(System* system) {
    MixingSystem* mixer = mixerOf(system);
    return mixer != nullptr ? mixer->state().format.rate : 0;
}

void setLatency(System* system, long frames) {
    MixingSystem* mixer = mixerOf(system);
    if (mixer == nullptr) return;
    if (auto* output = dynamic_cast<NoSoundNrtOutput*>(mixer->state().ensureOutput())) output->setLatency(frames);
}

void setDecoderModuleDirs(const std::vector<std::string>* dirs) { setModuleSearchDirs(dirs); }

std::string decoderName(Sound* sound) {
    SoundState* state = sound != nullptr ? SystemState::stateOf(sound) : nullptr;
    return state != nullptr && state->stream != nullptr ? state->stream->decoderName() : std::string();
}

}  // namespace ostaudio::testing
