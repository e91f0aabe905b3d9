#include "platform/audio/output_pulse.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace ostaudio {

namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);

}  // namespace

PulseOutput::~PulseOutput() { PulseOutput::close(); }

int PulseOutput::numDrivers() {
    if (!m_probed) {
        m_probed = true;
        if (connect()) listSinks();
    }
    return (int)m_sinks.size();
}

bool PulseOutput::driverName(int id, std::string* name) {
    if (id < 0 || id >= numDrivers()) return false;
    const Sink& sink = m_sinks[(std::size_t)id];
    *name = sink.description.empty() ? sink.name : sink.description;
    return true;
}

SpeakerMode PulseOutput::driverSpeakerMode(int id) {
    if (id < 0 || id >= numDrivers()) return SPEAKERMODE_STEREO;
    switch (m_sinks[(std::size_t)id].channels) {
    case 1: return SPEAKERMODE_MONO;
    case 4: return SPEAKERMODE_QUAD;
    case 6: return SPEAKERMODE_5POINT1;
    case 8: return SPEAKERMODE_7POINT1;
    default: return SPEAKERMODE_STEREO;
    }
}

int PulseOutput::driverRate(int id) {
    if (id < 0 || id >= numDrivers()) return 0;
    return m_sinks[(std::size_t)id].rate;
}

Result PulseOutput::open(int driver, const OutputFormat& format, MixSource* source) {
    if (source == nullptr || m_stream != nullptr || m_open) return ERR_INVALID_PARAM;
    if (driver < 0 || driver >= numDrivers()) return ERR_NO_DRIVER;
    // A failed open closed the connection; a second try makes a new one.
    if (!connect()) return ERR_OUTPUT_INIT;
    m_format = format;
    m_source = source;
    m_spec.format = PA_SAMPLE_FLOAT32NE;
    m_spec.rate = (std::uint32_t)format.rate;
    m_spec.channels = 2;
    if (!pa_sample_spec_valid(&m_spec)) {
        close();
        return ERR_OUTPUT_FORMAT;
    }
    m_clock = SilentClock(format.rate);
    m_block.assign((std::size_t)format.rate * kSilentTickMs / 1000 * 2, 0.0f);

    pa_threaded_mainloop_lock(m_loop);
    m_paused = true;
    m_stream = newStream(m_sinks[(std::size_t)driver].name.c_str());
    bool ready = false;
    while (m_stream != nullptr) {
        pa_stream_state_t state = pa_stream_get_state(m_stream);
        if (state == PA_STREAM_READY) {
            ready = true;
            break;
        }
        if (!PA_STREAM_IS_GOOD(state)) break;
        pa_threaded_mainloop_wait(m_loop);
    }
    if (ready) {
        waitForSinkBacklog();
        askTiming();
        m_retryEvent = m_api->time_new(m_api, nullptr, &PulseOutput::onRetry, this);
        m_tickEvent = m_api->time_new(m_api, nullptr, &PulseOutput::onSilentTick, this);
        m_topUpEvent = m_api->time_new(m_api, nullptr, &PulseOutput::onTopUp, this);
        m_open = true;
    }
    pa_threaded_mainloop_unlock(m_loop);
    if (!ready) {
        close();
        return ERR_OUTPUT_INIT;
    }
    return OK;
}

void PulseOutput::close() {
    // Once the loop has stopped no callback runs, so the rest needs no lock.
    if (m_loop != nullptr) pa_threaded_mainloop_stop(m_loop);
    if (m_retryEvent != nullptr) m_api->time_free(m_retryEvent);
    if (m_tickEvent != nullptr) m_api->time_free(m_tickEvent);
    if (m_topUpEvent != nullptr) m_api->time_free(m_topUpEvent);
    m_retryEvent = m_tickEvent = m_topUpEvent = nullptr;
    dropStream();
    dropContext();
    if (m_loop != nullptr) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
        m_api = nullptr;
    }
    if (m_underruns > 0) std::fprintf(stderr, "ostaudio: the sound server ran dry %d times\n", m_underruns);
    m_underruns = 0;
    m_open = false;
    m_lost = false;
    m_retryArmed = false;
    m_source = nullptr;
}

void PulseOutput::lock() {
    if (m_loop != nullptr) pa_threaded_mainloop_lock(m_loop);
}

void PulseOutput::unlock() {
    if (m_loop != nullptr) pa_threaded_mainloop_unlock(m_loop);
}

std::int64_t PulseOutput::latencyFrames() {
    if (m_lost) return m_clock.held(SilentClock::Clock::now());
    if (m_stream == nullptr) return 0;
    std::int64_t most = m_written - m_gone;
    // Until the server has answered for the stream as it is now, its answer
    // is about the stream as it was (uncorked from a standstill, or still
    // holding what a flush dropped): nothing since then counts as heard.
    if (m_timingAnswered != m_timingAsked) return most;
    pa_usec_t usec = 0;
    int negative = 0;
    const pa_timing_info* timing = pa_stream_get_timing_info(m_stream);
    if (timing != nullptr && pa_stream_get_latency(m_stream, &usec, &negative) == 0) {
        std::int64_t latency = negative ? -(std::int64_t)usec : (std::int64_t)usec;
        // The report is as old as its stamp; the sink has played on since.
        if (timing->playing && !m_paused) {
            struct timeval now;
            pa_gettimeofday(&now);
            if (pa_timeval_cmp(&now, &timing->timestamp) > 0)
                latency -= (std::int64_t)pa_timeval_diff(&now, &timing->timestamp);
        }
        m_lastLatency = latency * m_format.rate / 1000000;
    }
    return std::clamp<std::int64_t>(m_lastLatency, 0, most);
}

// What the server holds changed beyond what its timing reports show (a
// cork, an uncork, a flush, a new stream): what is known heard now stays
// the most heard until the server has answered a question asked after it.
// `gone`: the frames written that were heard or dropped just before it.
// Called with the lock held, after the change was sent.
void PulseOutput::restartTiming(std::int64_t gone) {
    m_gone = std::clamp<std::int64_t>(gone, m_gone, m_written);
    m_lastLatency = m_written - m_gone;
    askTiming();
}

void PulseOutput::askTiming() {
    if (m_stream == nullptr) return;
    pa_operation* op = pa_stream_update_timing_info(m_stream, &PulseOutput::onTiming, this);
    if (op == nullptr) return;
    ++m_timingAsked;
    pa_operation_unref(op);
}

void PulseOutput::setPaused(bool paused) {
    if (m_loop == nullptr) return;
    pa_threaded_mainloop_lock(m_loop);
    // Heard so far, counted as the stream ran until now.
    std::int64_t heard = m_written - latencyFrames();
    m_paused = paused;
    if (m_lost) {
        m_clock.run(!paused, SilentClock::Clock::now());
    } else if (m_stream != nullptr && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        // Corked, the server rewinds what it had mixed of ours and keeps it.
        if (pa_operation* op = pa_stream_cork(m_stream, paused ? 1 : 0, nullptr, nullptr)) pa_operation_unref(op);
        // The server asked for data while nothing played and got none: give
        // it now what it asked for.
        if (!paused) {
            std::size_t writable = pa_stream_writable_size(m_stream);
            if (writable != (std::size_t)-1 && writable > 0) fill(writable);
        }
        restartTiming(heard);
    }
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseOutput::flush() {
    if (m_loop == nullptr) return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_lost) {
        m_clock.flush(SilentClock::Clock::now());
    } else if (m_stream != nullptr && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        if (pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr)) pa_operation_unref(op);
        restartTiming(m_written);
    }
    pa_threaded_mainloop_unlock(m_loop);
}

// Connects without spawning a server; no server is an expected, quiet
// failure that leaves nothing behind.
bool PulseOutput::connect() {
    if (m_context != nullptr) return true;
    m_loop = pa_threaded_mainloop_new();
    if (m_loop == nullptr) return false;
    m_api = pa_threaded_mainloop_get_api(m_loop);
    m_context = pa_context_new(m_api, "Ostrel");
    if (m_context == nullptr) {
        close();
        return false;
    }
    pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(m_loop) < 0) {
        close();
        return false;
    }
    bool ready = false;
    pa_threaded_mainloop_lock(m_loop);
    for (;;) {
        pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_READY) {
            ready = true;
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) break;
        pa_threaded_mainloop_wait(m_loop);
    }
    pa_threaded_mainloop_unlock(m_loop);
    if (!ready) close();
    return ready;
}

void PulseOutput::waitFor(pa_operation* op) {
    if (op == nullptr) return;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(m_loop);
    pa_operation_unref(op);
}

void PulseOutput::listSinks() {
    pa_threaded_mainloop_lock(m_loop);
    waitFor(pa_context_get_server_info(m_context, &PulseOutput::onServerInfo, this));
    waitFor(pa_context_get_sink_info_list(m_context, &PulseOutput::onSinkInfo, this));
    pa_threaded_mainloop_unlock(m_loop);
    auto isDefault = [&](const Sink& s) { return s.name == m_defaultSink; };
    std::stable_partition(m_sinks.begin(), m_sinks.end(), isDefault);
}

// How far the stream's sink has mixed ahead beyond its configured latency,
// in microseconds; 0 if it cannot tell. Called with the lock held.
std::int64_t PulseOutput::sinkBacklogUs() {
    m_backlogUs = 0;
    waitFor(pa_context_get_sink_info_by_index(m_context, pa_stream_get_device_index(m_stream),
                                              &PulseOutput::onSinkBacklog, this));
    return m_backlogUs;
}

// See the header. The backlog plays out at the wall clock's pace; one that
// does not shrink is how a sink reports its latency, not silence queued,
// and is left alone. Called with the lock held, the stream ready.
void PulseOutput::waitForSinkBacklog() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kBacklogMaxMs);
    std::int64_t backlog = sinkBacklogUs();
    // A device's own latency a little past what was configured is no reason
    // to hold the start; a new sink's second or two of silence is.
    if (backlog <= (std::int64_t)kBacklogWorthWaitingMs * 1000) return;
    while (backlog > (std::int64_t)kBacklogSlackMs * 1000 && Clock::now() < deadline) {
        auto pause = std::min<std::chrono::microseconds>(std::chrono::microseconds(backlog - kBacklogSlackMs * 1000),
                                                         std::chrono::milliseconds(100));
        pa_threaded_mainloop_unlock(m_loop);
        std::this_thread::sleep_for(pause);
        pa_threaded_mainloop_lock(m_loop);
        std::int64_t now = sinkBacklogUs();
        if (backlog - now < pause.count() / 2) break;
        backlog = now;
    }
}

// A new stream on `device` (null: the server's default sink), connected and
// corked as the player is paused or not. Called with the lock held.
pa_stream* PulseOutput::newStream(const char* device) {
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    pa_stream* stream = pa_stream_new(m_context, "Playback", &m_spec, &map);
    if (stream == nullptr) return nullptr;
    pa_stream_set_state_callback(stream, &PulseOutput::onStreamState, this);
    pa_stream_set_write_callback(stream, &PulseOutput::onWrite, this);
    pa_stream_set_underflow_callback(stream, &PulseOutput::onUnderflow, this);
    m_written = m_gone = 0;
    m_lastLatency = 0;
    m_timingAsked = m_timingAnswered = 0;

    pa_buffer_attr attr;
    attr.maxlength = (std::uint32_t)-1;
    attr.tlength = (std::uint32_t)pa_usec_to_bytes((pa_usec_t)kTargetMs * 1000, &m_spec);
    attr.prebuf = (std::uint32_t)pa_usec_to_bytes((pa_usec_t)kStartMs * 1000, &m_spec);
    attr.minreq = (std::uint32_t)pa_usec_to_bytes((pa_usec_t)kMinRequestMs * 1000, &m_spec);
    attr.fragsize = (std::uint32_t)-1;
    // The server's own interpolation runs ahead for a second or more after
    // a start; latencyFrames() interpolates from the latest report itself.
    unsigned flags = PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY;
    if (m_paused) flags |= PA_STREAM_START_CORKED;
    // Always our own volume: one the server remembered for the program
    // would be heard while the player reports another.
    pa_cvolume volume = streamVolume();
    if (pa_stream_connect_playback(stream, device, &attr, (pa_stream_flags_t)flags, &volume, nullptr) < 0) {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream, nullptr, nullptr);
        pa_stream_unref(stream);
        return nullptr;
    }
    return stream;
}

// Writes what the server asked for in as few blocks as its buffers allow,
// as far as the decoders have it ready; the rest follows shortly.
void PulseOutput::fill(std::size_t nbytes) {
    if (m_source == nullptr || !m_source->active()) return;
    std::size_t ready = (std::size_t)std::max(0, m_source->ready());
    if (ready < nbytes / kFrameBytes) {
        nbytes = ready * kFrameBytes;
        arm(m_topUpEvent, kTopUpMs);
    }
    while (nbytes >= kFrameBytes) {
        void* data = nullptr;
        std::size_t size = nbytes;
        if (pa_stream_begin_write(m_stream, &data, &size) < 0 || data == nullptr) return;
        std::size_t frames = std::min(size, nbytes) / kFrameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(m_stream);
            return;
        }
        m_source->mix(static_cast<float*>(data), (int)frames, false);
        if (pa_stream_write(m_stream, data, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
        m_written += (std::int64_t)frames;
        nbytes -= frames * kFrameBytes;
    }
}

// The server went away (or a try to reach it failed): the silent clock takes
// over and the next try is set, each a little later than the one before.
// Called on the main loop's thread.
void PulseOutput::lose() {
    if (!m_open) return;
    if (!m_lost) {
        // What the server held unheard plays out in silence, so the position
        // moves on from where the sound stopped.
        m_clock.reset(std::clamp<std::int64_t>(m_lastLatency, 0, m_written - m_gone));
        m_clock.run(!m_paused, SilentClock::Clock::now());
        m_lost = true;
        m_retryMs = kRetryFirstMs;
        arm(m_tickEvent, kSilentTickMs);
        std::fprintf(stderr, "ostaudio: lost the sound server; playing on in silence until it is back\n");
    }
    if (!m_retryArmed) {
        arm(m_retryEvent, m_retryMs);
        m_retryArmed = true;
        m_retryMs = std::min(m_retryMs * 2, kRetryMaxMs);
    }
}

void PulseOutput::dropStream() {
    if (m_stream == nullptr) return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
    if (pa_stream_get_state(m_stream) == PA_STREAM_READY || pa_stream_get_state(m_stream) == PA_STREAM_CREATING) {
        pa_stream_disconnect(m_stream);
    }
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

void PulseOutput::dropContext() {
    if (m_context == nullptr) return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

// One try to reach a server: a new context; its state callback goes on.
void PulseOutput::retry() {
    dropStream();
    dropContext();
    m_context = pa_context_new(m_api, "Ostrel");
    if (m_context != nullptr) {
        pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) return;
    }
    lose();
}

void PulseOutput::silentTick() {
    if (!m_lost) return;
    std::int64_t ahead = (std::int64_t)m_format.rate * kSilentTickMs / 1000;
    std::int64_t want = m_clock.due(SilentClock::Clock::now(), ahead);
    const int block = (int)(m_block.size() / 2);
    while (want > 0 && m_source != nullptr && block > 0) {
        int n = (int)std::min<std::int64_t>(want, block);
        m_source->mix(m_block.data(), n, false);
        m_clock.wrote(n);
        want -= n;
    }
    arm(m_tickEvent, kSilentTickMs);
}

void PulseOutput::arm(pa_time_event* event, int ms) {
    if (event == nullptr) return;
    struct timeval tv;
    pa_gettimeofday(&tv);
    pa_timeval_add(&tv, (pa_usec_t)ms * 1000);
    m_api->time_restart(event, &tv);
}

// A new stream is up after the server came back: what the silent clock held
// counts as heard, and the stream carries on from what is mixed next.
void PulseOutput::streamReady() {
    m_lost = false;
    m_retryMs = kRetryFirstMs;
    m_api->time_restart(m_tickEvent, nullptr);
    m_api->time_restart(m_retryEvent, nullptr);
    m_retryArmed = false;
    std::fprintf(stderr, "ostaudio: the sound server is back\n");
    if (!m_paused) {
        std::size_t writable = pa_stream_writable_size(m_stream);
        if (writable != (std::size_t)-1 && writable > 0) fill(writable);
    }
    askTiming();
}

pa_cvolume PulseOutput::streamVolume() const {
    pa_cvolume volume;
    pa_cvolume_set(&volume, 2, pa_sw_volume_from_linear((double)m_volume));
    return volume;
}

void PulseOutput::setVolume(float volume) {
    if (m_loop == nullptr) return;
    pa_threaded_mainloop_lock(m_loop);
    m_volume = volume;
    // The server applies it to what it holds of ours as well (it rewinds
    // the sink to do so), so it is heard at once whatever is queued.
    if (!m_lost && m_stream != nullptr && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        pa_cvolume cv = streamVolume();
        pa_operation* op =
            pa_context_set_sink_input_volume(m_context, pa_stream_get_index(m_stream), &cv, nullptr, nullptr);
        if (op != nullptr) pa_operation_unref(op);
    }
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseOutput::onContextState(pa_context* context, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    pa_threaded_mainloop_signal(self->m_loop, 0);
    if (!self->m_open || context != self->m_context) return;
    pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY && self->m_lost && self->m_stream == nullptr) {
        self->m_stream = self->newStream(nullptr);
        if (self->m_stream == nullptr) self->lose();
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        self->lose();
    }
}

void PulseOutput::onStreamState(pa_stream* stream, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    pa_threaded_mainloop_signal(self->m_loop, 0);
    if (!self->m_open || stream != self->m_stream) return;
    pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY && self->m_lost) {
        self->streamReady();
    } else if (!PA_STREAM_IS_GOOD(state)) {
        self->lose();
    }
}

void PulseOutput::onServerInfo(pa_context*, const pa_server_info* info, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    if (info != nullptr && info->default_sink_name != nullptr) self->m_defaultSink = info->default_sink_name;
    pa_threaded_mainloop_signal(self->m_loop, 0);
}

void PulseOutput::onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    if (eol == 0 && info != nullptr) {
        Sink sink;
        sink.name = info->name != nullptr ? info->name : "";
        sink.description = info->description != nullptr ? info->description : "";
        sink.channels = info->channel_map.channels;
        sink.rate = (int)info->sample_spec.rate;
        self->m_sinks.push_back(sink);
    }
    pa_threaded_mainloop_signal(self->m_loop, 0);
}

void PulseOutput::onSinkBacklog(pa_context*, const pa_sink_info* info, int eol, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    // A sink whose latency is not configured (PipeWire's reports none) has
    // no backlog to tell.
    if (eol == 0 && info != nullptr && info->configured_latency > 0) {
        self->m_backlogUs =
            std::max<std::int64_t>(0, (std::int64_t)info->latency - (std::int64_t)info->configured_latency);
    }
    pa_threaded_mainloop_signal(self->m_loop, 0);
}

void PulseOutput::onWrite(pa_stream* stream, std::size_t nbytes, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    if (stream != self->m_stream || self->m_paused || self->m_lost) return;
    self->fill(nbytes);
}

// What the server asked for and the decoders did not have yet.
void PulseOutput::onTopUp(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    if (self->m_paused || self->m_lost || self->m_stream == nullptr ||
        pa_stream_get_state(self->m_stream) != PA_STREAM_READY)
        return;
    std::size_t writable = pa_stream_writable_size(self->m_stream);
    if (writable != (std::size_t)-1 && writable > 0) self->fill(writable);
}

// A failed answer ends the wait too: the regular reports take over.
void PulseOutput::onTiming(pa_stream* stream, int /*success*/, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    // A stream dropped since the question was asked has its own counts.
    if (stream == self->m_stream) ++self->m_timingAnswered;
}

void PulseOutput::onUnderflow(pa_stream* stream, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    if (stream == self->m_stream) self->m_underruns++;
}

void PulseOutput::onRetry(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
    auto* self = static_cast<PulseOutput*>(user);
    self->m_retryArmed = false;
    if (self->m_lost) self->retry();
}

void PulseOutput::onSilentTick(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
    static_cast<PulseOutput*>(user)->silentTick();
}

std::unique_ptr<Output> makePulseOutput() { return std::make_unique<PulseOutput>(); }

}  // namespace ostaudio
