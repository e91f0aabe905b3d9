// The audio library's test support: clock the non-real-time outputs by
// hand, give them a latency, and stand a scripted system in for the real
// one. Linked into tests only. Call it from the thread that owns the system.
#pragma once

#include <string>
#include <vector>

#include "platform/audio/audio.h"

namespace ostaudio::testing {

// Pulls `frames` output frames through a system whose output is clocked by
// hand (NOSOUND_NRT, WAVWRITER, or a scripted system). Returns
// ERR_UNSUPPORTED for a real-time output.
Result advance(System* system, long frames);

// The output sample rate the system runs at (after init).
int outputRate(System* system);

// Frames a NOSOUND_NRT output pretends to hold before they are heard.
void setLatency(System* system, long frames);

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

// Every later System_Create makes a scripted system: it reports what the
// script says, logs the configuration calls made on it, and plays through
// a NOSOUND_NRT output, until clearScript.
void setScript(const Script& script);
void clearScript();

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
