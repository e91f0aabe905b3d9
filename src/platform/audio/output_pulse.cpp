// The PulseAudio output (also served by PipeWire's pulse server). A threaded
// main loop owns the connection; its sinks are the drivers, the default sink
// first, named by their descriptions. The stream asks for a generous buffer
// so the process wakes only a few times a second. mix() runs in the write
// callback, on the main loop's thread with the main loop's lock held: that
// lock is the output lock.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <vector>

#include "platform/audio/output.h"

namespace ostaudio {

namespace {

struct Sink {
    std::string name;
    std::string description;
    int channels = 2;
};

class PulseOutput : public Output {
public:
    ~PulseOutput() override { PulseOutput::close(); }

    int numDrivers() override {
        if (!m_probed) {
            m_probed = true;
            if (connect()) listSinks();
        }
        return (int)m_sinks.size();
    }

    bool driverName(int id, std::string* name) override {
        if (id < 0 || id >= numDrivers()) return false;
        const Sink& sink = m_sinks[(std::size_t)id];
        *name = sink.description.empty() ? sink.name : sink.description;
        return true;
    }

    SpeakerMode driverSpeakerMode(int id) override {
        if (id < 0 || id >= numDrivers()) return SPEAKERMODE_STEREO;
        switch (m_sinks[(std::size_t)id].channels) {
        case 1: return SPEAKERMODE_MONO;
        case 4: return SPEAKERMODE_QUAD;
        case 6: return SPEAKERMODE_5POINT1;
        case 8: return SPEAKERMODE_7POINT1;
        default: return SPEAKERMODE_STEREO;
        }
    }

    Result open(int driver, const OutputFormat& format, MixSource* source) override {
        if (source == nullptr || m_stream != nullptr) return ERR_INVALID_PARAM;
        if (driver < 0 || driver >= numDrivers()) return ERR_NO_DRIVER;
        // A failed open closed the connection; a second try makes a new one.
        if (!connect()) return ERR_OUTPUT_INIT;
        m_format = format;
        m_source = source;

        pa_threaded_mainloop_lock(m_loop);
        pa_sample_spec sampleSpec;
        sampleSpec.format = PA_SAMPLE_FLOAT32NE;
        sampleSpec.rate = (std::uint32_t)format.rate;
        sampleSpec.channels = 2;
        pa_channel_map map;
        pa_channel_map_init_stereo(&map);
        if (!pa_sample_spec_valid(&sampleSpec)) {
            pa_threaded_mainloop_unlock(m_loop);
            close();
            return ERR_OUTPUT_FORMAT;
        }
        m_stream = pa_stream_new(m_context, "Playback", &sampleSpec, &map);
        if (m_stream == nullptr) {
            pa_threaded_mainloop_unlock(m_loop);
            close();
            return ERR_OUTPUT_INIT;
        }
        pa_stream_set_state_callback(m_stream, &PulseOutput::onStreamState, this);
        pa_stream_set_write_callback(m_stream, &PulseOutput::onWrite, this);

        pa_buffer_attr attr;
        std::uint32_t target = (std::uint32_t)pa_usec_to_bytes(
            (pa_usec_t)format.bufferFrames * 1000000u / (pa_usec_t)format.rate, &sampleSpec);
        attr.maxlength = (std::uint32_t)-1;
        attr.tlength = target;
        attr.prebuf = (std::uint32_t)-1;
        // Refill in halves: two wake-ups per buffer.
        attr.minreq = target / 2;
        attr.fragsize = (std::uint32_t)-1;
        auto flags = (pa_stream_flags_t)(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING |
                                         PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        const char* device = m_sinks[(std::size_t)driver].name.c_str();
        bool ready = false;
        if (pa_stream_connect_playback(m_stream, device, &attr, flags, nullptr, nullptr) == 0) {
            for (;;) {
                pa_stream_state_t state = pa_stream_get_state(m_stream);
                if (state == PA_STREAM_READY) {
                    ready = true;
                    break;
                }
                if (!PA_STREAM_IS_GOOD(state)) break;
                pa_threaded_mainloop_wait(m_loop);
            }
        }
        pa_threaded_mainloop_unlock(m_loop);
        if (!ready) {
            close();
            return ERR_OUTPUT_INIT;
        }
        return OK;
    }

    void close() override {
        // Once the loop has stopped no callback runs, so the rest needs no lock.
        if (m_loop != nullptr) pa_threaded_mainloop_stop(m_loop);
        if (m_stream != nullptr) {
            pa_stream_set_write_callback(m_stream, nullptr, nullptr);
            pa_stream_set_state_callback(m_stream, nullptr, nullptr);
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
            m_stream = nullptr;
        }
        if (m_context != nullptr) {
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
        if (m_loop != nullptr) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
        }
        m_source = nullptr;
    }

    void lock() override {
        if (m_loop != nullptr) pa_threaded_mainloop_lock(m_loop);
    }
    void unlock() override {
        if (m_loop != nullptr) pa_threaded_mainloop_unlock(m_loop);
    }

    std::int64_t latencyFrames() override {
        if (m_stream == nullptr) return 0;
        pa_usec_t usec = 0;
        int negative = 0;
        if (pa_stream_get_latency(m_stream, &usec, &negative) < 0 || negative) return 0;
        return (std::int64_t)(usec * (pa_usec_t)m_format.rate / 1000000u);
    }

    void setPaused(bool paused) override {
        if (m_stream == nullptr) return;
        pa_threaded_mainloop_lock(m_loop);
        if (pa_operation* op = pa_stream_cork(m_stream, paused ? 1 : 0, nullptr, nullptr)) pa_operation_unref(op);
        // The server asked for data while nothing played and got none: give
        // it now what it asked for.
        if (!paused) {
            size_t writable = pa_stream_writable_size(m_stream);
            if (writable != (size_t)-1 && writable > 0) onWrite(m_stream, writable, this);
        }
        pa_threaded_mainloop_unlock(m_loop);
    }

    void flush() override {
        if (m_stream == nullptr) return;
        pa_threaded_mainloop_lock(m_loop);
        if (pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr)) pa_operation_unref(op);
        pa_threaded_mainloop_unlock(m_loop);
    }

private:
    // Connects without spawning a server; no server is an expected, quiet
    // failure that leaves nothing behind.
    bool connect() {
        if (m_context != nullptr) return true;
        m_loop = pa_threaded_mainloop_new();
        if (m_loop == nullptr) return false;
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Ostrel");
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

    void waitFor(pa_operation* op) {
        if (op == nullptr) return;
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(m_loop);
        pa_operation_unref(op);
    }

    void listSinks() {
        pa_threaded_mainloop_lock(m_loop);
        waitFor(pa_context_get_server_info(m_context, &PulseOutput::onServerInfo, this));
        waitFor(pa_context_get_sink_info_list(m_context, &PulseOutput::onSinkInfo, this));
        pa_threaded_mainloop_unlock(m_loop);
        auto isDefault = [&](const Sink& s) { return s.name == m_defaultSink; };
        std::stable_partition(m_sinks.begin(), m_sinks.end(), isDefault);
    }

    static void onContextState(pa_context*, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }
    static void onStreamState(pa_stream*, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }
    static void onServerInfo(pa_context*, const pa_server_info* info, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        if (info != nullptr && info->default_sink_name != nullptr) self->m_defaultSink = info->default_sink_name;
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }
    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        if (eol == 0 && info != nullptr) {
            Sink sink;
            sink.name = info->name != nullptr ? info->name : "";
            sink.description = info->description != nullptr ? info->description : "";
            sink.channels = info->channel_map.channels;
            self->m_sinks.push_back(sink);
        }
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }
    static void onWrite(pa_stream* stream, size_t nbytes, void* user) {
        auto* self = static_cast<PulseOutput*>(user);
        const size_t frameBytes = 2 * sizeof(float);
        if (self->m_source == nullptr || !self->m_source->active()) return;
        while (nbytes >= frameBytes && self->m_source != nullptr) {
            void* data = nullptr;
            size_t size = nbytes;
            if (pa_stream_begin_write(stream, &data, &size) < 0 || data == nullptr) return;
            size_t frames = std::min(size, nbytes) / frameBytes;
            if (frames == 0) {
                pa_stream_cancel_write(stream);
                return;
            }
            self->m_source->mix(static_cast<float*>(data), (int)frames, false);
            if (pa_stream_write(stream, data, frames * frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
            nbytes -= frames * frameBytes;
        }
    }

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    bool m_probed = false;
    std::string m_defaultSink;
    std::vector<Sink> m_sinks;
    OutputFormat m_format;
    MixSource* m_source = nullptr;
};

}  // namespace

std::unique_ptr<Output> makePulseOutput() { return std::make_unique<PulseOutput>(); }

}  // namespace ostaudio
