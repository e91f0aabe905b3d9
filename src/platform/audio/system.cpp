// The system object: choosing the output, configuration, init, and the
// sounds and channels seen from the system's side.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/audio/system_maker.h"
#include "platform/audio/system_state.h"

namespace ostaudio {

namespace {

std::mutex g_overrideMutex;
OutputType g_overrideType = OUTPUTTYPE_AUTODETECT;
std::string g_overrideWavPath;
SystemMaker g_maker = nullptr;

constexpr int kMaxChannels = 4093;

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

Result System_Create(System** system) {
    if (system == nullptr) return ERR_INVALID_PARAM;
    *system = nullptr;
    SystemMaker maker;
    {
        std::lock_guard<std::mutex> lock(g_overrideMutex);
        maker = g_maker;
    }
    if (maker != nullptr) return maker(system);
    std::string wavPath;
    OutputType type = startingOutput(&wavPath);
    System* created = new (std::nothrow) MixingSystem(type, wavPath);
    if (created == nullptr) return ERR_MEMORY;
    *system = created;
    return OK;
}

void setSystemMaker(SystemMaker maker) {
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    g_maker = maker;
}

MixingSystem::MixingSystem(OutputType type, std::string wavPath) {
    m_state.outputType = type;
    m_state.wavPath = std::move(wavPath);
}

Result MixingSystem::getVersion(unsigned* version) {
    if (version == nullptr) return ERR_INVALID_PARAM;
    *version = VERSION;
    return OK;
}

Result MixingSystem::getNumDrivers(int* numdrivers) {
    if (numdrivers == nullptr) return ERR_INVALID_PARAM;
    int n = m_state.ensureOutput()->numDrivers();
    if (n < 0) {
        *numdrivers = 0;
        return ERR_OUTPUT_INIT;
    }
    *numdrivers = n;
    return OK;
}

Result MixingSystem::getDriverCaps(int id, Caps* caps, int* minfrequency, int* maxfrequency,
                                   SpeakerMode* controlpanelspeakermode) {
    Output* output = m_state.ensureOutput();
    if (id < 0 || id >= output->numDrivers()) return ERR_INVALID_PARAM;
    if (caps != nullptr) *caps = output->driverCaps(id);
    if (minfrequency != nullptr) *minfrequency = 8000;
    if (maxfrequency != nullptr) *maxfrequency = 192000;
    if (controlpanelspeakermode != nullptr) *controlpanelspeakermode = output->driverSpeakerMode(id);
    return OK;
}

Result MixingSystem::getDriverInfo(int id, char* name, int namelen, Guid* guid) {
    Output* output = m_state.ensureOutput();
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

Result MixingSystem::setOutput(OutputType type) {
    if (m_state.initialized) return ERR_INITIALIZED;
    switch (type) {
    case OUTPUTTYPE_AUTODETECT: type = OUTPUTTYPE_PULSEAUDIO; break;
    case OUTPUTTYPE_NOSOUND:
    case OUTPUTTYPE_WAVWRITER:
    case OUTPUTTYPE_NOSOUND_NRT:
    case OUTPUTTYPE_PULSEAUDIO: break;
    default: return ERR_INVALID_PARAM;
    }
    if (type != m_state.outputType) {
        m_state.output.reset();
        m_state.outputType = type;
    }
    return OK;
}

Result MixingSystem::getOutput(OutputType* type) {
    if (type == nullptr) return ERR_INVALID_PARAM;
    *type = m_state.outputType;
    return OK;
}

Result MixingSystem::setSpeakerMode(SpeakerMode mode) {
    if (m_state.initialized) return ERR_INITIALIZED;
    // Mixing is always stereo; the sound server maps it to the speakers.
    if (mode < SPEAKERMODE_RAW || mode > SPEAKERMODE_7POINT1) return ERR_INVALID_PARAM;
    return OK;
}

Result MixingSystem::setDSPBufferSize(unsigned bufferlength, int numbuffers) {
    if (m_state.initialized) return ERR_INITIALIZED;
    if (bufferlength == 0 || numbuffers <= 0) return ERR_INVALID_PARAM;
    long frames = (long)std::min<unsigned long>((unsigned long)bufferlength * (unsigned)numbuffers, 1L << 20);
    // Never below 50 ms: shorter buffers only cost wake-ups.
    m_state.format.bufferFrames = (int)std::clamp<long>(frames, m_state.format.rate / 20, m_state.format.rate * 2);
    return OK;
}

// Mixing is always float stereo with one resampler; only the rate matters.
Result MixingSystem::setSoftwareFormat(int samplerate, SoundFormat /*format*/, int /*numoutputchannels*/,
                                       int /*maxinputchannels*/, DspResampler /*resamplemethod*/) {
    if (m_state.initialized) return ERR_INITIALIZED;
    if (samplerate < 8000 || samplerate > 192000) return ERR_INVALID_PARAM;
    double seconds = (double)m_state.format.bufferFrames / m_state.format.rate;
    m_state.format.rate = samplerate;
    m_state.format.bufferFrames = (int)(seconds * samplerate);
    return OK;
}

Result MixingSystem::init(int maxchannels, InitFlags /*flags*/, void* /*extradriverdata*/) {
    SystemState& s = m_state;
    if (s.initialized) return ERR_INITIALIZED;
    Output* output = s.ensureOutput();
    if (maxchannels <= 0 || maxchannels > kMaxChannels) return ERR_INVALID_PARAM;
    if (output->numDrivers() <= 0) return ERR_NO_DRIVER;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.slots.assign((std::size_t)maxchannels, ChannelSlot{});
        s.scratch.assign((std::size_t)SystemState::kScratchFrames * 2, 0.0f);
        for (int i = 0; i < maxchannels; ++i) {
            Channel* channel = new Channel();
            channel->m_system = &m_state;
            channel->m_index = i;
            s.slots[(std::size_t)i].handle = channel;
        }
    }
    // The mixer runs at the device's own rate when it has one: a file at
    // that rate is then converted nowhere, and the server does no work on it.
    int deviceRate = output->driverRate(0);
    if (deviceRate >= 8000 && deviceRate <= 192000 && deviceRate != s.format.rate) {
        double seconds = (double)s.format.bufferFrames / s.format.rate;
        s.format.rate = deviceRate;
        s.format.bufferFrames = (int)(seconds * deviceRate);
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

Result MixingSystem::createSound(const char* name, Mode mode, CreateSoundExInfo* /*exinfo*/, Sound** sound) {
    if (sound == nullptr) return ERR_INVALID_PARAM;
    *sound = nullptr;
    if (name == nullptr) return ERR_INVALID_PARAM;
    if (!m_state.initialized) return ERR_UNINITIALIZED;
    // Only regular files: a FIFO or a device would block the open or never end.
    struct stat st;
    if (name[0] == '\0' || ::stat(name, &st) != 0) return ERR_FILE_NOT_FOUND;
    if (!S_ISREG(st.st_mode)) return ERR_FILE_BAD;

    auto stream = std::make_unique<Stream>(m_state.format.rate, (mode & LOOP_NORMAL) != 0);
    Result rc = stream->open(name);
    if (rc != OK) return rc;

    Sound* created = new Sound();
    created->m_state = new SoundState();
    created->m_state->system = &m_state;
    created->m_state->stream = std::move(stream);
    {
        std::lock_guard<std::mutex> lock(m_state.mutex);
        m_state.sounds.push_back(created);
    }
    *sound = created;
    return OK;
}

Result MixingSystem::playSound(ChannelIndex channelid, Sound* sound, bool paused, Channel** channel) {
    SystemState& s = m_state;
    if (!s.initialized) return ERR_UNINITIALIZED;
    if (sound == nullptr || sound->m_state == nullptr || sound->m_state->system != &m_state) return ERR_INVALID_PARAM;
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
            (*channel)->m_system == &m_state) {
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
        slot->volume = 1.0f;
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

Result MixingSystem::update() {
    SystemState& s = m_state;
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

Result MixingSystem::release() {
    SystemState& s = m_state;
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

}  // namespace ostaudio
