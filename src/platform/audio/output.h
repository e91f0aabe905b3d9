// The output interface: where mixed float stereo goes.
//
// Contract, for every output:
// - Probing (numDrivers, driverName, driverCaps, driverSpeakerMode) happens
//   on the system's caller thread, before or after open. An expected failure
//   (no server) is quiet and reports 0 drivers.
// - open() is called at most once, on the caller thread. After it succeeds
//   the output pulls audio by calling source->mix() from whatever thread it
//   owns (or, for clocked-by-hand outputs, from advance()). mix() is always
//   called with the output's lock held (see lock()).
// - close() is required to be safe twice and after a failed or half-done
//   open; once it returns, source->mix() is never called again. open()'s own
//   failure path calls it. The destructor calls it.
// - lock()/unlock() exclude mix(). The system takes the output lock before
//   its own lock, never the other way round, so mix() may take the system
//   lock. latencyFrames() is called with the output lock held.
// - setPaused() and flush() are called on the caller thread without any lock
//   held. A paused output consumes nothing and keeps what it holds; flush
//   drops what was written but not yet heard.
// - advance() exists only for outputs clocked by hand: it pulls `frames` on
//   the caller's thread, waiting for the decoders (never an underrun).
// - An output with a volume of its own (hasVolume) applies setVolume() to
//   everything it plays, including what it already holds, so a change is
//   heard at once; the mixer then leaves the samples as they are. Without
//   one, the mixer scales the samples. setVolume() is called on the caller
//   thread without any lock held.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "platform/audio/audio.h"

namespace ostaudio {

struct OutputFormat {
    int rate = 44100;
    int channels = 2;
    // Frames the output may hold ahead of what is heard.
    int bufferFrames = 44100 * 2 / 5;
};

class MixSource {
public:
    virtual ~MixSource() = default;
    // Fills `out` with `frames` interleaved stereo frames. With `wait`, it
    // waits for the decoders instead of filling an underrun with silence.
    virtual void mix(float* out, int frames, bool wait) = 0;
    // Whether a channel plays now; an output that buffers ahead writes
    // nothing while none does, so a start never waits behind silence.
    virtual bool active() = 0;
    // Frames mix() can fill now from what the decoders have ready; an
    // output that writes far ahead writes no more than this at a time, and
    // comes back for the rest, rather than write an underrun's silence.
    virtual int ready() { return std::numeric_limits<int>::max(); }
};

class Output {
public:
    virtual ~Output() = default;

    virtual int numDrivers() = 0;
    virtual bool driverName(int id, std::string* name) = 0;
    virtual Caps driverCaps(int /*id*/) { return CAPS_NONE; }
    virtual SpeakerMode driverSpeakerMode(int /*id*/) { return SPEAKERMODE_STEREO; }
    // The rate the driver's device runs at, 0 when any will do. Mixing at it
    // leaves the server nothing to convert.
    virtual int driverRate(int /*id*/) { return 0; }

    virtual Result open(int driver, const OutputFormat& format, MixSource* source) = 0;
    virtual void close() = 0;

    virtual void lock() {}
    virtual void unlock() {}
    virtual std::int64_t latencyFrames() = 0;

    virtual void setPaused(bool /*paused*/) {}
    virtual void flush() {}
    virtual bool hasVolume() { return false; }
    virtual void setVolume(float /*volume*/) {}
    virtual Result advance(std::int64_t /*frames*/) { return ERR_UNSUPPORTED; }
};

std::unique_ptr<Output> makePulseOutput();
std::unique_ptr<Output> makeNoSoundOutput();
std::unique_ptr<Output> makeNoSoundNrtOutput();
std::unique_ptr<Output> makeWavOutput(const std::string& path);

}  // namespace ostaudio
