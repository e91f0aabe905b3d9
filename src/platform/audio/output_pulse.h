// The PulseAudio output (also served by PipeWire's pulse server). A threaded
// main loop owns the connection; its sinks are the drivers, the default sink
// first, named by their descriptions. mix() runs on the main loop's thread
// with the main loop's lock held: that lock is the output lock.
//
// The buffer. The server sizes a sink's own latency from its clients: with
// PA_STREAM_ADJUST_LATENCY it asks the sink for (tlength - 2 * minreq) / 2,
// keeps the rest of tlength in the stream's buffer, and the most demanding
// client sets the pace of the whole sink. How often the server wakes follows
// the sink's latency, how often we (and PipeWire's pulse server) wake follows
// minreq. So:
// - tlength 2 s: all we hold ahead of what is heard; a busy machine can
//   stall us for over a second without an underrun;
// - minreq 500 ms: we are asked for at least that much at a time, so we
//   wake about twice a second and write in large blocks; it is also far
//   above PipeWire's largest quantum (2048 frames, 43 ms at 48 kHz), so we
//   never make its graph run faster than it would without us;
// - the sink gets (2000 - 1000) / 2 = 500 ms and the stream's buffer the
//   other 1.5 s. A program that asks for less still gets it: the sink runs
//   at the lowest request, and ours then only holds more in its buffer;
// - prebuf 500 ms: the server starts on our first write (what the decoders
//   hold, a fraction of the 2 s) rather than wait for the whole buffer, yet
//   not before it has the sink's 500 ms, which the sink takes at once: with
//   less it would run dry on its first request.
// None of this is heard as delay. Pause corks the stream: the server takes
// back what it had mixed ahead and keeps it, so the sound stops at once and
// resumes where it stopped. Stop corks too, and stop and a new sound flush,
// so nothing of the old one is heard. The volume is the stream's volume on
// the server, which it applies to what it holds as well (rewinding the sink
// to do so), so a change is heard at once, not after two seconds.
//
// The position. The server's reports say how much of what we wrote it has
// played, each as of its own time stamp; between reports we count on from
// the latest at the wall clock's pace. A cork, an uncork or a flush makes
// the last report stale, so until the server has answered a question asked
// after it, nothing written since counts as heard: the position may lag for
// a round trip, but never runs ahead of the sound.
//
// A sink that has just appeared (its server has just started) has mixed up
// to two seconds of silence ahead before any client asked for less, and takes
// back only as much of it as its latency is now: until the rest has played
// out, nothing written is heard. open() waits for that, so that a sound
// started once it returns is heard at once; a sink with no such backlog
// costs one round trip.
//
// The server may go away while we play. Then a silent clock takes the frames
// in its place, so positions go on, and the main loop retries the server with
// a growing pause between tries; once one answers, a new stream on its
// default sink carries on with what plays.
#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/output.h"
#include "platform/audio/silent_clock.h"

namespace ostaudio {

class PulseOutput : public Output {
public:
    static constexpr int kTargetMs = 2000;
    static constexpr int kMinRequestMs = 500;
    static constexpr int kStartMs = 500;
    // While the server is away: how often the silent clock takes frames.
    static constexpr int kSilentTickMs = 100;
    // Pauses between tries to reach the server again.
    static constexpr int kRetryFirstMs = 250;
    static constexpr int kRetryMaxMs = 1000;
    // How soon to come back for what the decoders did not have ready.
    static constexpr int kTopUpMs = 20;
    // A new sink's silence mixed ahead: the least open() waits for, what
    // is left unwaited for, and the longest open() waits for it to play out.
    static constexpr int kBacklogWorthWaitingMs = 50;
    static constexpr int kBacklogSlackMs = 10;
    static constexpr int kBacklogMaxMs = 2500;

    ~PulseOutput() override;

    int numDrivers() override;
    bool driverName(int id, std::string* name) override;
    SpeakerMode driverSpeakerMode(int id) override;
    int driverRate(int id) override;

    Result open(int driver, const OutputFormat& format, MixSource* source) override;
    void close() override;

    void lock() override;
    void unlock() override;
    std::int64_t latencyFrames() override;

    void setPaused(bool paused) override;
    void flush() override;
    bool hasVolume() override { return true; }
    void setVolume(float volume) override;

private:
    // Its tests read the underruns and the connection under the lock.
    friend class PulseOutputProbe;

    struct Sink {
        std::string name;
        std::string description;
        int channels = 2;
        int rate = 0;
    };

    bool connect();
    void listSinks();
    void waitFor(pa_operation* op);
    std::int64_t sinkBacklogUs();
    void waitForSinkBacklog();
    pa_stream* newStream(const char* device);
    void fill(std::size_t nbytes);
    void lose();
    void dropStream();
    void dropContext();
    void retry();
    void silentTick();
    void arm(pa_time_event* event, int ms);
    void streamReady();
    void restartTiming(std::int64_t gone);
    void askTiming();
    pa_cvolume streamVolume() const;

    static void onContextState(pa_context* context, void* user);
    static void onStreamState(pa_stream* stream, void* user);
    static void onServerInfo(pa_context*, const pa_server_info* info, void* user);
    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user);
    static void onSinkBacklog(pa_context*, const pa_sink_info* info, int eol, void* user);
    static void onWrite(pa_stream* stream, std::size_t nbytes, void* user);
    static void onUnderflow(pa_stream* stream, void* user);
    static void onTiming(pa_stream* stream, int success, void* user);
    static void onRetry(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user);
    static void onSilentTick(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user);
    static void onTopUp(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_mainloop_api* m_api = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    bool m_probed = false;
    std::string m_defaultSink;
    std::vector<Sink> m_sinks;
    OutputFormat m_format;
    pa_sample_spec m_spec{};
    MixSource* m_source = nullptr;

    // Everything below is guarded by the main loop's lock.
    bool m_open = false;
    bool m_paused = true;
    int m_underruns = 0;
    std::int64_t m_lastLatency = 0;
    // Frames written to the stream, and how many of them were heard or
    // dropped as last known for sure: the server holds at most the rest.
    std::int64_t m_written = 0;
    std::int64_t m_gone = 0;
    // Timing questions asked and answered since the stream began.
    unsigned m_timingAsked = 0;
    unsigned m_timingAnswered = 0;
    float m_volume = 1.0f;
    // The server is away: the silent clock plays, the retry timer runs.
    bool m_lost = false;
    SilentClock m_clock;
    std::vector<float> m_block;
    pa_time_event* m_retryEvent = nullptr;
    pa_time_event* m_tickEvent = nullptr;
    pa_time_event* m_topUpEvent = nullptr;
    int m_retryMs = kRetryFirstMs;
    bool m_retryArmed = false;
    std::int64_t m_backlogUs = 0;  // onSinkBacklog's answer
};

}  // namespace ostaudio
