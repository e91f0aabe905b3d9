// The non-real-time no-sound output (OUTPUTTYPE_NOSOUND_NRT): nothing plays,
// and time moves only when a test calls advance(), which mixes on the
// caller's thread and waits for the decoders, so every sample arrives. It
// may pretend to hold some frames before they are heard (setLatency), to
// reach the latency paths.
#pragma once

#include <vector>

#include "platform/audio/output.h"

namespace ostaudio {

class NoSoundNrtOutput : public Output {
public:
    ~NoSoundNrtOutput() override { NoSoundNrtOutput::close(); }

    int numDrivers() override { return 1; }
    bool driverName(int id, std::string* name) override;

    Result open(int driver, const OutputFormat& format, MixSource* source) override;
    void close() override;

    std::int64_t latencyFrames() override { return m_held; }
    void flush() override;
    Result advance(std::int64_t frames) override;

    void setLatency(std::int64_t frames) { m_latency = frames; }

protected:
    // Sees every mixed block, in order, on the advancing thread.
    virtual void deliver(const float* /*frames*/, int /*count*/) {}
    virtual const char* name() const { return "No sound (non-real-time)"; }

    OutputFormat m_format;

private:
    MixSource* m_source = nullptr;
    std::vector<float> m_buffer;
    std::int64_t m_latency = 0;
    std::int64_t m_held = 0;
};

}  // namespace ostaudio
