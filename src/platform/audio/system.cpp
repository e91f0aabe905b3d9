// The system object, its sounds and channels, and the mixer the output pulls.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/audio_testing.h"
#include "platform/audio/output.h"
#include "platform/audio/output_fast.h"
#include "platform/audio/stream.h"

namespace ostaudio {

namespace {

std::mutex g_overrideMutex;
OutputType g_overrideType = OUTPUTTYPE_AUTODETECT;
std::string g_overrideWavPath;

constexpr int kMaxChannels = 4093;
constexpr int kScratchFrames = 4096;

OutputType startingOutput(std::string* wavPath) {
    {
        std::lock_guard<std::mutex> lock(g_overrideMutex);
        if (g_overrideType != OUTPUTTYPE_AUTODETECT) {
            *wavPath = g_overrideWavPath;
            return g_overrideType;
        }
    }
    const char* env = std::getenv("OSTAUDIO_OUTPUT");
    if (env != nullptr) {
        std::string value = env;
        if (value == "nosound") return OUTPUTTYPE_NOSOUND;
        if (value == "nosound_nrt") return OUTPUTTYPE_NOSOUND_NRT;
        if (value.rfind("wav:", 0) == 0) {
            *wavPath = value.substr(4);
            return OUTPUTTYPE_WAVWRITER;
        }
    }
    return OUTPUTTYPE_PULSEAUDIO;
}

}  // namespace

void setOutputOverride(OutputType type, const char* wavPath) {
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    g_overrideType = type;
    g_overrideWavPath = wavPath != nullptr ? wavPath : "";
}

struct SoundState {
    SystemState* system = nullptr;
    std::unique_ptr<Stream> stream;
    int channel = -1;  // the slot that plays it, or -1
};

struct ChannelSlot {
    Channel* handle = nullptr;
    Sound* sound = nullptr;  // null while the channel is free
    bool paused = false;
    bool drained = false;        // the stream ended; its tail may still be queued
    std::int64_t consumed = 0;   // frames taken from the stream since it started
    std::int64_t drainAt = 0;    // mixer frame just past the stream's last frame
    void* userData = nullptr;
    ChannelCallback callback = nullptr;
};

struct SystemState : MixSource {
    System* self = nullptr;
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
    std::vector<float> scratch;

    Output* ensureOutput() {
        if (!output) {
            switch (outputType) {
            case OUTPUTTYPE_NOSOUND: output = makeNoSoundOutput(); break;
            case OUTPUTTYPE_NOSOUND_NRT: output = makeFastOutput(); break;
            case OUTPUTTYPE_WAVWRITER: output = makeWavOutput(wavPath); break;
            case OUTPUTTYPE_SCRIPTED: output = makeScriptedOutput(); break;
            default: output = makePulseOutput(); break;
            }
        }
        return output.get();
    }

    void record(const std::string& call) {
        if (output && output->isScripted()) output->record(call);
    }

    void mix(float* out, int frames, bool wait) override {
        std::lock_guard<std::mutex> lock(mutex);
        bool first = true;
        for (ChannelSlot& slot : slots) {
            if (slot.sound == nullptr || slot.paused || slot.drained) continue;
            Stream& stream = *slot.sound->m_state->stream;
            int done = 0;
            while (done < frames) {
                int want = first ? frames - done : std::min(frames - done, kScratchFrames);
                float* dst = first ? out + (std::size_t)done * 2 : scratch.data();
                Stream::ReadResult r = stream.read(dst, want, wait);
                if (!first) {
                    float* acc = out + (std::size_t)done * 2;
                    for (int i = 0; i < r.frames * 2; ++i) acc[i] += dst[i];
                }
                done += r.frames;
                slot.consumed += r.frames;
                if (r.ended) {
                    slot.drained = true;
                    slot.drainAt = mixed + done;
                    break;
                }
                if (r.frames < want) break;  // underrun: silence for the rest
            }
            if (first) {
                std::fill(out + (std::size_t)done * 2, out + (std::size_t)frames * 2, 0.0f);
                first = false;
            }
        }
        if (first) std::fill(out, out + (std::size_t)frames * 2, 0.0f);
        mixed += frames;
    }

    bool active() override {
        std::lock_guard<std::mutex> lock(mutex);
        for (const ChannelSlot& slot : slots) {
            if (slot.sound != nullptr && !slot.paused) return true;
        }
        return false;
    }

    // Runs the output while a channel plays and pauses it otherwise; `flush`
    // drops what a stopped channel left queued. No lock may be held.
    void syncOutput(bool flush) {
        if (!initialized || !output) return;
        bool audible = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (const ChannelSlot& slot : slots) {
                if (slot.sound != nullptr && !slot.paused) audible = true;
            }
        }
        if (flush && !audible) output->flush();
        if (audible != outputRunning) {
            output->setPaused(!audible);
            outputRunning = audible;
        }
    }

    // Called with `mutex` held.
    void detach(ChannelSlot& slot) {
        if (slot.sound != nullptr) slot.sound->m_state->channel = -1;
        slot.sound = nullptr;
        slot.paused = false;
        slot.drained = false;
    }

    ChannelSlot* slotOf(int index) {
        if (index < 0 || index >= (int)slots.size()) return nullptr;
        return &slots[(std::size_t)index];
    }

    // Frames of the channel heard so far, within the current pass of a loop.
    std::int64_t heardFrames(const ChannelSlot& slot, std::int64_t latency) const {
        std::int64_t played = mixed - latency;
        std::int64_t end = slot.drained ? slot.drainAt : mixed;
        std::int64_t unheard = std::clamp<std::int64_t>(end - played, 0, slot.consumed);
        std::int64_t heard = slot.consumed - unheard;
        const Stream& stream = *slot.sound->m_state->stream;
        std::int64_t pass = stream.passFrames();
        if (stream.looping() && pass > 0) heard %= pass;
        return heard;
    }
};

Result System_Create(System** system) {
    if (system == nullptr) return ERR_INVALID_PARAM;
    *system = nullptr;
    std::string wavPath;
    OutputType type = startingOutput(&wavPath);
    if (type == OUTPUTTYPE_SCRIPTED) {
        Result rc = scriptedCreateResult();
        if (rc != OK) return rc;
    }
    System* created = new (std::nothrow) System();
    if (created == nullptr || created->m_state == nullptr) {
        delete created;
        return ERR_MEMORY;
    }
    created->m_state->outputType = type;
    created->m_state->wavPath = wavPath;
    *system = created;
    return OK;
}

System::System() : m_state(new (std::nothrow) SystemState) {
    if (m_state != nullptr) m_state->self = this;
}

System::~System() { delete m_state; }

Result System::getVersion(unsigned* version) {
    if (version == nullptr) return ERR_INVALID_PARAM;
    *version = m_state->ensureOutput()->scriptedVersion();
    return OK;
}

Result System::getNumDrivers(int* numdrivers) {
    if (numdrivers == nullptr) return ERR_INVALID_PARAM;
    int n = m_state->ensureOutput()->numDrivers();
    m_state->record("getNumDrivers");
    if (n < 0) {
        *numdrivers = 0;
        return ERR_OUTPUT_INIT;
    }
    *numdrivers = n;
    return OK;
}

Result System::getDriverCaps(int id, Caps* caps, int* minfrequency, int* maxfrequency,
                             SpeakerMode* controlpanelspeakermode) {
    Output* output = m_state->ensureOutput();
    m_state->record("getDriverCaps " + std::to_string(id));
    if (id < 0 || id >= output->numDrivers()) return ERR_INVALID_PARAM;
    if (caps != nullptr) *caps = output->driverCaps(id);
    if (minfrequency != nullptr) *minfrequency = 8000;
    if (maxfrequency != nullptr) *maxfrequency = 192000;
    if (controlpanelspeakermode != nullptr) *controlpanelspeakermode = output->driverSpeakerMode(id);
    return OK;
}

Result System::getDriverInfo(int id, char* name, int namelen, Guid* guid) {
    Output* output = m_state->ensureOutput();
    m_state->record("getDriverInfo " + std::to_string(id) + " " + std::to_string(namelen));
    std::string driver;
    if (id < 0 || !output->driverName(id, &driver)) return ERR_INVALID_PARAM;
    if (name != nullptr) {
        if (namelen <= 0) return ERR_INVALID_PARAM;
        std::size_t n = std::min(driver.size(), (std::size_t)namelen - 1);
        std::memcpy(name, driver.data(), n);
        name[n] = '\0';
    }
    if (guid != nullptr) std::memset(guid, 0, sizeof *guid);
    return OK;
}

Result System::setOutput(OutputType type) {
    if (m_state->initialized) return ERR_INITIALIZED;
    m_state->record("setOutput " + std::to_string((int)type));
    // A scripted system stays scripted: the test decides what it reports.
    if (m_state->output && m_state->output->isScripted()) return OK;
    switch (type) {
    case OUTPUTTYPE_AUTODETECT: type = OUTPUTTYPE_PULSEAUDIO; break;
    case OUTPUTTYPE_NOSOUND:
    case OUTPUTTYPE_WAVWRITER:
    case OUTPUTTYPE_NOSOUND_NRT:
    case OUTPUTTYPE_PULSEAUDIO:
    case OUTPUTTYPE_SCRIPTED: break;
    default: return ERR_INVALID_PARAM;
    }
    if (type != m_state->outputType) {
        m_state->output.reset();
        m_state->outputType = type;
    }
    return OK;
}

Result System::getOutput(OutputType* type) {
    if (type == nullptr) return ERR_INVALID_PARAM;
    *type = m_state->outputType;
    return OK;
}

Result System::setSpeakerMode(SpeakerMode mode) {
    if (m_state->initialized) return ERR_INITIALIZED;
    m_state->record("setSpeakerMode " + std::to_string((int)mode));
    // Mixing is always stereo; the sound server maps it to the speakers.
    if (mode < SPEAKERMODE_RAW || mode > SPEAKERMODE_7POINT1) return ERR_INVALID_PARAM;
    return OK;
}

Result System::setDSPBufferSize(unsigned bufferlength, int numbuffers) {
    if (m_state->initialized) return ERR_INITIALIZED;
    m_state->record("setDSPBufferSize " + std::to_string(bufferlength) + " " + std::to_string(numbuffers));
    if (bufferlength == 0 || numbuffers <= 0) return ERR_INVALID_PARAM;
    long frames = (long)std::min<unsigned long>((unsigned long)bufferlength * (unsigned)numbuffers, 1L << 20);
    // Never below 50 ms: shorter buffers only cost wake-ups.
    m_state->format.bufferFrames = (int)std::clamp<long>(frames, m_state->format.rate / 20, m_state->format.rate * 2);
    return OK;
}

Result System::setSoftwareFormat(int samplerate, SoundFormat format, int numoutputchannels,
                                 int maxinputchannels, DspResampler resamplemethod) {
    if (m_state->initialized) return ERR_INITIALIZED;
    m_state->record("setSoftwareFormat " + std::to_string(samplerate) + " " + std::to_string((int)format) + " " +
                    std::to_string(numoutputchannels) + " " + std::to_string(maxinputchannels) + " " +
                    std::to_string((int)resamplemethod));
    if (samplerate < 8000 || samplerate > 192000) return ERR_INVALID_PARAM;
    double seconds = (double)m_state->format.bufferFrames / m_state->format.rate;
    m_state->format.rate = samplerate;
    m_state->format.bufferFrames = (int)(seconds * samplerate);
    return OK;
}

Result System::init(int maxchannels, InitFlags flags, void* /*extradriverdata*/) {
    SystemState& s = *m_state;
    if (s.initialized) return ERR_INITIALIZED;
    Output* output = s.ensureOutput();
    s.record("init " + std::to_string(maxchannels) + " " + std::to_string(flags));
    if (maxchannels <= 0 || maxchannels > kMaxChannels) return ERR_INVALID_PARAM;
    // A scripted output answers init from its script, drivers or not.
    if (!output->isScripted() && output->numDrivers() <= 0) return ERR_NO_DRIVER;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.slots.assign((std::size_t)maxchannels, ChannelSlot{});
        s.scratch.assign((std::size_t)kScratchFrames * 2, 0.0f);
        for (int i = 0; i < maxchannels; ++i) {
            Channel* channel = new Channel();
            channel->m_system = m_state;
            channel->m_index = i;
            s.slots[(std::size_t)i].handle = channel;
        }
    }
    Result rc = output->open(0, s.format, &s);
    if (rc != OK) {
        std::lock_guard<std::mutex> lock(s.mutex);
        for (ChannelSlot& slot : s.slots) delete slot.handle;
        s.slots.clear();
        return rc;
    }
    s.initialized = true;
    s.outputRunning = false;
    return OK;
}

Result System::createSound(const char* name, Mode mode, CreateSoundExInfo* /*exinfo*/, Sound** sound) {
    if (sound == nullptr) return ERR_INVALID_PARAM;
    *sound = nullptr;
    if (name == nullptr) return ERR_INVALID_PARAM;
    if (!m_state->initialized) return ERR_UNINITIALIZED;
    // Only regular files: a FIFO or a device would block the open or never end.
    struct stat st;
    if (name[0] == '\0' || ::stat(name, &st) != 0) return ERR_FILE_NOT_FOUND;
    if (!S_ISREG(st.st_mode)) return ERR_FILE_BAD;

    auto stream = std::make_unique<Stream>(m_state->format.rate, (mode & LOOP_NORMAL) != 0);
    Result rc = stream->open(name);
    if (rc != OK) return rc;

    Sound* created = new Sound();
    created->m_state = new SoundState();
    created->m_state->system = m_state;
    created->m_state->stream = std::move(stream);
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->sounds.push_back(created);
    }
    *sound = created;
    return OK;
}

Result System::playSound(ChannelIndex channelid, Sound* sound, bool paused, Channel** channel) {
    SystemState& s = *m_state;
    if (!s.initialized) return ERR_UNINITIALIZED;
    if (sound == nullptr || sound->m_state == nullptr || sound->m_state->system != m_state) return ERR_INVALID_PARAM;
    bool flush = false;
    Channel* chosen = nullptr;
    // A stream plays on one channel at a time and starts over. It is rewound
    // while detached, so no output meets it half-ready.
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (ChannelSlot* old = s.slotOf(sound->m_state->channel)) {
            s.detach(*old);
            flush = true;
        }
    }
    Stream& stream = *sound->m_state->stream;
    stream.restart();
    stream.waitReady(1000);
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        ChannelSlot* slot = nullptr;
        if (channelid == CHANNEL_REUSE && channel != nullptr && *channel != nullptr &&
            (*channel)->m_system == m_state) {
            slot = s.slotOf((*channel)->m_index);
        } else if (channelid >= 0) {
            slot = s.slotOf(channelid);
            if (slot == nullptr) return ERR_INVALID_PARAM;
        }
        if (slot == nullptr) {
            for (ChannelSlot& candidate : s.slots) {
                if (candidate.sound == nullptr) {
                    slot = &candidate;
                    break;
                }
            }
        }
        if (slot == nullptr) return ERR_CHANNEL_ALLOC;
        if (slot->sound != nullptr) flush = true;
        s.detach(*slot);
        slot->sound = sound;
        slot->paused = paused;
        slot->consumed = 0;
        slot->drainAt = 0;
        slot->userData = nullptr;
        slot->callback = nullptr;
        sound->m_state->channel = slot->handle->m_index;
        chosen = slot->handle;
    }
    // Drop what the previous sound left queued before the new one runs.
    if (flush) s.output->flush();
    s.syncOutput(false);
    if (channel != nullptr) *channel = chosen;
    return OK;
}

Result System::update() {
    SystemState& s = *m_state;
    if (!s.initialized) return OK;
    struct Ended {
        Channel* channel;
        ChannelCallback callback;
    };
    std::vector<Ended> ended;
    s.output->lock();
    {
        std::int64_t latency = s.output->latencyFrames();
        std::lock_guard<std::mutex> lock(s.mutex);
        std::int64_t played = s.mixed - latency;
        for (ChannelSlot& slot : s.slots) {
            if (slot.sound != nullptr && slot.drained && played >= slot.drainAt) {
                s.detach(slot);
                ended.push_back({slot.handle, slot.callback});
            }
        }
    }
    s.output->unlock();
    if (ended.empty()) return OK;
    s.syncOutput(false);
    // Callbacks run with no lock held: they may call back into the library.
    for (const Ended& e : ended) {
        if (e.callback != nullptr) e.callback(e.channel, CHANNEL_CALLBACKTYPE_END, nullptr, nullptr);
    }
    return OK;
}

Result System::release() {
    SystemState& s = *m_state;
    // The output goes first, so nothing mixes from what is freed next.
    if (s.output) s.output->close();
    std::vector<Sound*> sounds;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        sounds.swap(s.sounds);
        for (ChannelSlot& slot : s.slots) delete slot.handle;
        s.slots.clear();
    }
    for (Sound* sound : sounds) {
        delete sound->m_state;
        delete sound;
    }
    s.output.reset();
    delete this;
    return OK;
}

Result Sound::getLength(unsigned* length, TimeUnit lengthtype) {
    if (length == nullptr) return ERR_INVALID_PARAM;
    const Stream& stream = *m_state->stream;
    std::uint64_t ms = stream.durationMs();
    if (lengthtype == TIMEUNIT_MS) {
        *length = (unsigned)std::min<std::uint64_t>(ms, 0xFFFFFFFFu);
    } else if (lengthtype == TIMEUNIT_PCM) {
        *length = (unsigned)std::min<std::uint64_t>(ms * (std::uint64_t)stream.rate() / 1000, 0xFFFFFFFFu);
    } else {
        return ERR_INVALID_PARAM;
    }
    return OK;
}

Result Sound::release() {
    SystemState& s = *m_state->system;
    bool wasPlaying = false;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (ChannelSlot* slot = s.slotOf(m_state->channel)) {
            s.detach(*slot);
            wasPlaying = true;
        }
        s.sounds.erase(std::remove(s.sounds.begin(), s.sounds.end(), this), s.sounds.end());
    }
    if (wasPlaying) s.syncOutput(true);
    delete m_state;
    delete this;
    return OK;
}

namespace {

// Runs `fn` on the channel's slot under the system lock, or reports a
// channel that no longer plays.
template <typename Fn>
Result withSlot(SystemState* system, int index, Fn fn) {
    if (system == nullptr) return ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> lock(system->mutex);
    ChannelSlot* slot = system->slotOf(index);
    if (slot == nullptr || slot->sound == nullptr) return ERR_INVALID_HANDLE;
    return fn(*slot);
}

}  // namespace

Result Channel::setPaused(bool paused) {
    Result rc = withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        slot.paused = paused;
        return OK;
    });
    if (rc == OK) m_system->syncOutput(false);
    return rc;
}

Result Channel::getPaused(bool* paused) {
    if (paused == nullptr) return ERR_INVALID_PARAM;
    return withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        *paused = slot.paused;
        return OK;
    });
}

Result Channel::isPlaying(bool* playing) {
    if (playing == nullptr) return ERR_INVALID_PARAM;
    *playing = withSlot(m_system, m_index, [](ChannelSlot&) { return OK; }) == OK;
    return OK;
}

Result Channel::stop() {
    Result rc = withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        m_system->detach(slot);
        return OK;
    });
    if (rc == OK) m_system->syncOutput(true);
    return rc;
}

Result Channel::getPosition(unsigned* position, TimeUnit postype) {
    if (position == nullptr) return ERR_INVALID_PARAM;
    if (postype != TIMEUNIT_MS && postype != TIMEUNIT_PCM) return ERR_INVALID_PARAM;
    if (m_system == nullptr || !m_system->output) return ERR_INVALID_HANDLE;
    Output& output = *m_system->output;
    output.lock();
    std::int64_t latency = output.latencyFrames();
    std::int64_t heard = 0;
    Result rc = withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        heard = m_system->heardFrames(slot, latency);
        return OK;
    });
    output.unlock();
    if (rc != OK) return rc;
    std::int64_t value = postype == TIMEUNIT_MS ? heard * 1000 / m_system->format.rate : heard;
    *position = (unsigned)std::min<std::int64_t>(value, 0xFFFFFFFF);
    return OK;
}

Result Channel::setUserData(void* userdata) {
    if (m_system == nullptr) return ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> lock(m_system->mutex);
    ChannelSlot* slot = m_system->slotOf(m_index);
    if (slot == nullptr) return ERR_INVALID_HANDLE;
    slot->userData = userdata;
    return OK;
}

Result Channel::getUserData(void** userdata) {
    if (userdata == nullptr) return ERR_INVALID_PARAM;
    if (m_system == nullptr) return ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> lock(m_system->mutex);
    ChannelSlot* slot = m_system->slotOf(m_index);
    if (slot == nullptr) return ERR_INVALID_HANDLE;
    *userdata = slot->userData;
    return OK;
}

Result Channel::setCallback(ChannelCallback callback) {
    return withSlot(m_system, m_index, [&](ChannelSlot& slot) {
        slot.callback = callback;
        return OK;
    });
}

struct TestAccess {
    static SystemState& state(System* system) { return *system->m_state; }
    static SoundState* state(Sound* sound) { return sound->m_state; }
};

namespace testing {

Result advance(System* system, long frames) {
    if (system == nullptr || frames < 0) return ERR_INVALID_PARAM;
    SystemState& s = TestAccess::state(system);
    if (!s.initialized) return ERR_UNINITIALIZED;
    return s.output->advance(frames);
}

int outputRate(System* system) { return TestAccess::state(system).format.rate; }

std::string decoderName(Sound* sound) {
    SoundState* state = sound != nullptr ? TestAccess::state(sound) : nullptr;
    return state != nullptr && state->stream != nullptr ? state->stream->decoderName() : std::string();
}

void setFastLatency(System* system, long frames) {
    if (auto* fast = dynamic_cast<FastOutput*>(TestAccess::state(system).ensureOutput())) fast->setLatency(frames);
}

}  // namespace testing
}  // namespace ostaudio
