// Test hooks of the audio library: clock the non-real-time outputs by hand,
// give the fast output a latency, and script what the test output reports.
// Call them from the thread that owns the system.
#pragma once

#include <string>
#include <vector>

#include "platform/audio/audio.h"

namespace ostaudio::testing {

// Pulls `frames` output frames through a system whose output is clocked by
// hand (NOSOUND_NRT, WAVWRITER, SCRIPTED). Returns ERR_UNSUPPORTED for a
// real-time output.
Result advance(System* system, long frames);

// The output sample rate the system runs at (after init).
int outputRate(System* system);

// Frames a clocked-by-hand output pretends to hold before they are heard.
void setFastLatency(System* system, long frames);

struct Script {
    Result createResult = OK;  // System_Create
    unsigned version = VERSION;
    Result numDriversResult = OK;
    int numDrivers = 1;
    Caps caps = CAPS_NONE;
    SpeakerMode speakerMode = SPEAKERMODE_STEREO;
    std::string driverName = "Scripted device";
    // init results, in order; once used up, OK.
    std::vector<Result> initResults;
};

// Applies to every later System_Create that starts with OUTPUTTYPE_SCRIPTED.
void setScript(const Script& script);

// The configuration calls made on scripted systems since the last setScript,
// such as "setSpeakerMode 2" or "init 100 0".
std::vector<std::string> scriptedCalls();

// Where the FFmpeg decoder module is looked for from now on; null restores
// the usual places. A module already loaded stays in the process but is
// used only if found again.
void setDecoderModuleDirs(const std::vector<std::string>* dirs);

// The decoder a sound was opened with: "mpg123", "sndfile" or "ffmpeg".
std::string decoderName(Sound* sound);

}  // namespace ostaudio::testing
