// The audio library: a system object that owns one output, streamed sounds
// decoded in the background, and the channels that play them.
//
// Every call is made from one thread (the caller's), except where noted.
// Channel callbacks run only inside System::update, on the caller's thread.
// Results are 0 for success and a nonzero error otherwise.
#pragma once

#include <cstdint>

namespace ostaudio {

using Result = int;
enum : Result {
    OK = 0,
    ERR_INVALID_PARAM = 1,
    ERR_INVALID_HANDLE = 2,
    ERR_FILE_NOT_FOUND = 3,
    ERR_FILE_BAD = 4,
    ERR_FORMAT = 5,
    ERR_MEMORY = 6,
    ERR_UNINITIALIZED = 7,
    ERR_INITIALIZED = 8,
    ERR_OUTPUT_INIT = 9,
    ERR_NO_DRIVER = 10,
    ERR_CHANNEL_ALLOC = 11,
    ERR_UNSUPPORTED = 12,
    // The output cannot run in the requested speaker mode or sample format.
    ERR_OUTPUT_FORMAT = 58,
};

// 4.33.06 in the packed form callers compare against.
constexpr unsigned VERSION = 0x00043306;

using Mode = unsigned;
constexpr Mode DEFAULT = 0x0;
constexpr Mode LOOP_OFF = 0x1;
constexpr Mode LOOP_NORMAL = 0x2;
constexpr Mode CREATESTREAM = 0x80;

using TimeUnit = unsigned;
constexpr TimeUnit TIMEUNIT_MS = 0x1;
constexpr TimeUnit TIMEUNIT_PCM = 0x2;

using ChannelIndex = int;
constexpr ChannelIndex CHANNEL_FREE = -1;
constexpr ChannelIndex CHANNEL_REUSE = -2;

using Caps = unsigned;
constexpr Caps CAPS_NONE = 0x0;
constexpr Caps CAPS_HARDWARE = 0x1;
constexpr Caps CAPS_HARDWARE_EMULATED = 0x2;

using InitFlags = unsigned;
constexpr InitFlags INIT_NORMAL = 0x0;

enum OutputType : int {
    OUTPUTTYPE_AUTODETECT = 0,
    OUTPUTTYPE_UNKNOWN = 1,
    OUTPUTTYPE_NOSOUND = 2,      // a clock consumes the samples in real time
    OUTPUTTYPE_WAVWRITER = 3,    // float WAV file, clocked by hand
    OUTPUTTYPE_NOSOUND_NRT = 4,  // clocked by hand
    OUTPUTTYPE_PULSEAUDIO = 10,
};

enum SpeakerMode : int {
    SPEAKERMODE_RAW = 0,
    SPEAKERMODE_MONO = 1,
    SPEAKERMODE_STEREO = 2,
    SPEAKERMODE_QUAD = 3,
    SPEAKERMODE_SURROUND = 4,
    SPEAKERMODE_5POINT1 = 5,
    SPEAKERMODE_7POINT1 = 6,
};

enum SoundFormat : int {
    SOUND_FORMAT_NONE = 0,
    SOUND_FORMAT_PCM8 = 1,
    SOUND_FORMAT_PCM16 = 2,
    SOUND_FORMAT_PCM24 = 3,
    SOUND_FORMAT_PCM32 = 4,
    SOUND_FORMAT_PCMFLOAT = 5,
};

enum DspResampler : int {
    DSP_RESAMPLER_NOINTERP = 0,
    DSP_RESAMPLER_LINEAR = 1,
    DSP_RESAMPLER_CUBIC = 2,
};

enum ChannelCallbackType : int {
    CHANNEL_CALLBACKTYPE_END = 0,
};

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

// Accepted for shape; no field is read yet.
struct CreateSoundExInfo {
    int cbsize;
};

class System;
class Sound;
class Channel;

using ChannelCallback = Result (*)(Channel* channel, ChannelCallbackType type, void* commanddata1, void* commanddata2);

Result System_Create(System** system);

// Chooses the output every later System_Create starts with, for the whole
// process. Without it, the environment variable OSTAUDIO_OUTPUT ("pulse",
// "nosound", "nosound_nrt", "wav:<path>") decides, and PulseAudio otherwise.
// `wavPath` is used only by OUTPUTTYPE_WAVWRITER. AUTODETECT clears it.
void setOutputOverride(OutputType type, const char* wavPath = nullptr);

struct SystemState;
struct SoundState;
class MixingSystem;

// Made by System_Create, ended by release(). The implementation is the
// library's mixer; the interface is abstract so that nothing but the
// library's own code depends on how it is built.
class System {
public:
    virtual Result getVersion(unsigned* version) = 0;
    virtual Result getNumDrivers(int* numdrivers) = 0;
    virtual Result getDriverCaps(int id, Caps* caps, int* minfrequency, int* maxfrequency,
                                 SpeakerMode* controlpanelspeakermode) = 0;
    virtual Result getDriverInfo(int id, char* name, int namelen, Guid* guid) = 0;
    virtual Result setOutput(OutputType output) = 0;
    virtual Result getOutput(OutputType* output) = 0;
    virtual Result setSpeakerMode(SpeakerMode speakermode) = 0;
    virtual Result setDSPBufferSize(unsigned bufferlength, int numbuffers) = 0;
    virtual Result setSoftwareFormat(int samplerate, SoundFormat format, int numoutputchannels, int maxinputchannels,
                                     DspResampler resamplemethod) = 0;
    virtual Result init(int maxchannels, InitFlags flags, void* extradriverdata) = 0;
    virtual Result createSound(const char* name, Mode mode, CreateSoundExInfo* exinfo, Sound** sound) = 0;
    virtual Result playSound(ChannelIndex channelid, Sound* sound, bool paused, Channel** channel) = 0;
    virtual Result update() = 0;
    // Closes the output and frees every sound and channel still held, and
    // the system itself.
    virtual Result release() = 0;

protected:
    System() = default;
    virtual ~System() = default;
    System(const System&) = delete;
    System& operator=(const System&) = delete;
};

class Sound {
public:
    Result getLength(unsigned* length, TimeUnit lengthtype);
    // The length to the microsecond, past what 32 bits of them hold; 0 if
    // unknown. For clients whose clock counts microseconds.
    Result getLengthUs(std::uint64_t* length);
    // Stops any channel that plays it, then frees it.
    Result release();

private:
    friend class MixingSystem;
    friend struct SystemState;
    Sound() = default;
    ~Sound() = default;
    SoundState* m_state = nullptr;
};

// A channel handle stays valid as long as its system; operations on a
// channel that no longer plays return ERR_INVALID_HANDLE.
class Channel {
public:
    Result setPaused(bool paused);
    Result getPaused(bool* paused);
    Result stop();
    Result isPlaying(bool* playing);
    Result getPosition(unsigned* position, TimeUnit postype);
    // What getPosition tells, to the microsecond.
    Result getPositionUs(std::uint64_t* position);
    // 1.0 plays the sound as it is, 0.0 silences it; above 1.0 amplifies,
    // up to 10.0. Negative (and NaN) is taken as 0. A channel starts at 1.0 each time a sound is
    // played on it. The change is heard at once, not after what is queued.
    Result setVolume(float volume);
    Result getVolume(float* volume);
    Result setUserData(void* userdata);
    Result getUserData(void** userdata);
    Result setCallback(ChannelCallback callback);

private:
    friend class MixingSystem;
    friend struct SystemState;
    Channel() = default;
    Result heardFrames(std::int64_t* frames);
    ~Channel() = default;
    SystemState* m_system = nullptr;
    int m_index = 0;
};

}  // namespace ostaudio
