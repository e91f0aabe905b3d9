// The audio library against the clocked-by-hand outputs: what a file decodes
// to, how a loop wraps, where a channel is and when it ends, and how bad
// files fail.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/audio.h"
#include "support/audio_testing.h"

using namespace ostaudio;

namespace {

std::string fixture(const char* name) { return std::string(OST_AUDIO_FIXTURES) + "/" + name; }

std::string tempPath(const char* name) {
    return std::string(::testing::TempDir()) + "ostaudio_" + std::to_string(::getpid()) + "_" + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The "data" chunk of a RIFF WAV file.
std::string wavData(const std::string& file) {
    std::size_t pos = 12;
    while (pos + 8 <= file.size()) {
        std::uint32_t size;
        std::memcpy(&size, file.data() + pos + 4, 4);
        if (file.compare(pos, 4, "data") == 0) return file.substr(pos + 8, size);
        pos += 8 + size + (size & 1);
    }
    return {};
}

std::vector<float> pcm16AsFloat(const std::string& data) {
    std::vector<float> out(data.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::int16_t v;
        std::memcpy(&v, data.data() + 2 * i, 2);
        out[i] = (float)v / 32768.0f;
    }
    return out;
}

std::vector<float> floats(const std::string& data) {
    std::vector<float> out(data.size() / sizeof(float));
    std::memcpy(out.data(), data.data(), out.size() * sizeof(float));
    return out;
}

int g_endCalls = 0;
Result countEnd(Channel*, ChannelCallbackType type, void*, void*) {
    if (type == CHANNEL_CALLBACKTYPE_END) ++g_endCalls;
    return OK;
}

// A system on a chosen output at a chosen rate.
struct Fixture : ::testing::Test {
    System* system = nullptr;

    void start(OutputType type, int rate, const std::string& wavPath = "") {
        setOutputOverride(type, wavPath.empty() ? nullptr : wavPath.c_str());
        ASSERT_EQ(System_Create(&system), OK);
        ASSERT_EQ(system->setSoftwareFormat(rate, SOUND_FORMAT_PCMFLOAT, 0, 0, DSP_RESAMPLER_LINEAR), OK);
        ASSERT_EQ(system->init(8, INIT_NORMAL, nullptr), OK);
        g_endCalls = 0;
    }
    void TearDown() override {
        if (system != nullptr) system->release();
        setOutputOverride(OUTPUTTYPE_AUTODETECT);
    }
    bool playing(Channel* channel) {
        bool p = false;
        channel->isPlaying(&p);
        return p;
    }
    // Advances block by block until the channel ends; frames advanced.
    long runToEnd(Channel* channel, long limit) {
        long total = 0;
        while (playing(channel) && total < limit) {
            ostaudio::testing::advance(system, 441);
            system->update();
            total += 441;
        }
        return total;
    }
};

using WavWriter = Fixture;

TEST_F(WavWriter, FixtureComesOutSampleForSample) {
    std::string out = tempPath("plain.wav");
    start(OUTPUTTYPE_WAVWRITER, 8000, out);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture("stereo8k.wav").c_str(), CREATESTREAM, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    channel->setCallback(countEnd);
    ASSERT_EQ(ostaudio::testing::advance(system, 9000), OK);
    system->update();
    EXPECT_EQ(g_endCalls, 1);
    EXPECT_FALSE(playing(channel));
    system->release();
    system = nullptr;

    std::vector<float> expected = pcm16AsFloat(wavData(readFile(fixture("stereo8k.wav"))));
    std::vector<float> written = floats(wavData(readFile(out)));
    ASSERT_EQ(expected.size(), 16000u);
    ASSERT_EQ(written.size(), 18000u);
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(written[i], expected[i]) << "sample " << i;
    for (std::size_t i = expected.size(); i < written.size(); ++i) ASSERT_EQ(written[i], 0.0f);
    std::remove(out.c_str());
}

TEST_F(WavWriter, LoopWrapsWithNoGapAndPositionFollows) {
    std::string out = tempPath("loop.wav");
    start(OUTPUTTYPE_WAVWRITER, 8000, out);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture("stereo8k.wav").c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    channel->setCallback(countEnd);
    ASSERT_EQ(ostaudio::testing::advance(system, 20000), OK);
    system->update();
    unsigned position = 0;
    ASSERT_EQ(channel->getPosition(&position, TIMEUNIT_PCM), OK);
    EXPECT_EQ(position, 4000u);
    ASSERT_EQ(channel->getPosition(&position, TIMEUNIT_MS), OK);
    EXPECT_EQ(position, 500u);
    EXPECT_TRUE(playing(channel));
    EXPECT_EQ(g_endCalls, 0);
    system->release();
    system = nullptr;

    std::vector<float> one = pcm16AsFloat(wavData(readFile(fixture("stereo8k.wav"))));
    std::vector<float> written = floats(wavData(readFile(out)));
    ASSERT_EQ(written.size(), 40000u);
    for (std::size_t i = 0; i < written.size(); ++i) ASSERT_EQ(written[i], one[i % one.size()]) << "sample " << i;
    std::remove(out.c_str());
}

TEST_F(WavWriter, StopThenPlayStartsOverOnTheSameChannel) {
    std::string out = tempPath("restart.wav");
    start(OUTPUTTYPE_WAVWRITER, 8000, out);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture("stereo8k.wav").c_str(), CREATESTREAM, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_REUSE, sound, false, &channel), OK);
    Channel* first = channel;
    ostaudio::testing::advance(system, 3000);
    ASSERT_EQ(channel->stop(), OK);
    EXPECT_EQ(channel->stop(), ERR_INVALID_HANDLE);
    ASSERT_EQ(system->playSound(CHANNEL_REUSE, sound, false, &channel), OK);
    EXPECT_EQ(channel, first);
    ostaudio::testing::advance(system, 2000);
    system->release();
    system = nullptr;

    std::vector<float> one = pcm16AsFloat(wavData(readFile(fixture("stereo8k.wav"))));
    std::vector<float> written = floats(wavData(readFile(out)));
    ASSERT_EQ(written.size(), 10000u);
    for (std::size_t i = 0; i < 6000; ++i) ASSERT_EQ(written[i], one[i]) << "sample " << i;
    for (std::size_t i = 0; i < 4000; ++i) ASSERT_EQ(written[6000 + i], one[i]) << "sample " << i;
    std::remove(out.c_str());
}

TEST_F(WavWriter, ChannelVolumeScalesTheSamplesAndStartsAtOneForEachSound) {
    std::string out = tempPath("volume.wav");
    start(OUTPUTTYPE_WAVWRITER, 8000, out);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture("stereo8k.wav").c_str(), CREATESTREAM, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_REUSE, sound, false, &channel), OK);
    // What the desktop may send, and what the channel takes it as.
    struct {
        float set;
        float read;
    } cases[] = {{0.5f, 0.5f}, {2.0f, 2.0f}, {-0.5f, 0.0f}, {NAN, 0.0f}, {INFINITY, 10.0f}, {1e9f, 10.0f}};
    for (const auto& c : cases) {
        ASSERT_EQ(channel->setVolume(c.set), OK);
        float volume = -1;
        ASSERT_EQ(channel->getVolume(&volume), OK);
        EXPECT_EQ(volume, c.read) << "set " << c.set;
    }
    ASSERT_EQ(channel->setVolume(0.5f), OK);
    ostaudio::testing::advance(system, 3000);
    ASSERT_EQ(channel->setVolume(0.0f), OK);
    ostaudio::testing::advance(system, 1000);
    // A sound played again starts at the volume it was made with.
    ASSERT_EQ(system->playSound(CHANNEL_REUSE, sound, false, &channel), OK);
    float volume = 0;
    ASSERT_EQ(channel->getVolume(&volume), OK);
    EXPECT_EQ(volume, 1.0f);
    ostaudio::testing::advance(system, 1000);
    ASSERT_EQ(channel->stop(), OK);
    EXPECT_EQ(channel->setVolume(0.5f), ERR_INVALID_HANDLE);
    EXPECT_EQ(channel->getVolume(&volume), ERR_INVALID_HANDLE);
    EXPECT_EQ(channel->getVolume(nullptr), ERR_INVALID_PARAM);
    system->release();
    system = nullptr;

    std::vector<float> one = pcm16AsFloat(wavData(readFile(fixture("stereo8k.wav"))));
    std::vector<float> written = floats(wavData(readFile(out)));
    ASSERT_EQ(written.size(), 10000u);
    for (std::size_t i = 0; i < 6000; ++i) ASSERT_EQ(written[i], one[i] * 0.5f) << "sample " << i;
    for (std::size_t i = 6000; i < 8000; ++i) ASSERT_EQ(written[i], 0.0f) << "sample " << i;
    for (std::size_t i = 0; i < 2000; ++i) ASSERT_EQ(written[8000 + i], one[i]) << "sample " << i;
    std::remove(out.c_str());
}

struct Expected {
    const char* file;
    unsigned lengthMs;
    unsigned toleranceMs;
};

class Formats : public Fixture, public ::testing::WithParamInterface<Expected> {};

TEST_P(Formats, DecodeToTheirLengthAndEnd) {
    const Expected& e = GetParam();
    std::string out = tempPath("format.wav");
    start(OUTPUTTYPE_WAVWRITER, 44100, out);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture(e.file).c_str(), CREATESTREAM, nullptr, &sound), OK);
    unsigned length = 0;
    ASSERT_EQ(sound->getLength(&length, TIMEUNIT_MS), OK);
    EXPECT_NEAR((double)length, (double)e.lengthMs, (double)e.toleranceMs);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    channel->setCallback(countEnd);
    long advanced = runToEnd(channel, 44100 * 10);
    EXPECT_EQ(g_endCalls, 1);
    EXPECT_NEAR(advanced / 44.1, (double)e.lengthMs, e.toleranceMs + 10.0);
    system->release();
    system = nullptr;

    std::vector<float> written = floats(wavData(readFile(out)));
    std::size_t last = 0;
    double energy = 0;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] != 0.0f) last = i;
        energy += (double)written[i] * written[i];
    }
    EXPECT_NEAR(last / 2 / 44.1, (double)e.lengthMs, (double)e.toleranceMs + 10.0);
    EXPECT_GT(std::sqrt(energy / (double)written.size()), 0.05);
    std::remove(out.c_str());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Formats,
                         // The MP3 keeps its encoder delay and padding: 2 s of tone, 64 ms more.
                         ::testing::Values(Expected{"stereo8k.wav", 1000, 1}, Expected{"tone.mp3", 2064, 30},
                                           Expected{"tone.ogg", 2000, 5}, Expected{"tone.flac", 2000, 1},
                                           Expected{"tiny.mod", 1920, 100}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             for (char& c : name) {
                                 if (c == '.') c = '_';
                             }
                             return name;
                         });

using Clock = Fixture;

TEST_F(Clock, PositionPauseAndEndFollowWhatWasHeard) {
    start(OUTPUTTYPE_NOSOUND_NRT, 8000);
    ostaudio::testing::setLatency(system, 1000);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture("stereo8k.wav").c_str(), CREATESTREAM, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    channel->setCallback(countEnd);
    unsigned position = 99;
    ASSERT_EQ(channel->getPosition(&position, TIMEUNIT_PCM), OK);
    EXPECT_EQ(position, 0u);

    ostaudio::testing::advance(system, 3000);
    channel->getPosition(&position, TIMEUNIT_PCM);
    EXPECT_EQ(position, 2000u);

    ASSERT_EQ(channel->setPaused(true), OK);
    bool paused = false;
    ASSERT_EQ(channel->getPaused(&paused), OK);
    EXPECT_TRUE(paused);
    ostaudio::testing::advance(system, 2000);
    channel->getPosition(&position, TIMEUNIT_PCM);
    EXPECT_EQ(position, 2000u);

    ASSERT_EQ(channel->setPaused(false), OK);
    ostaudio::testing::advance(system, 5000);  // the stream's last frame leaves the mixer
    system->update();
    EXPECT_EQ(g_endCalls, 0) << "the end is reported only once it has been heard";
    EXPECT_TRUE(playing(channel));
    channel->getPosition(&position, TIMEUNIT_PCM);
    EXPECT_EQ(position, 7000u);

    ostaudio::testing::advance(system, 1000);
    EXPECT_EQ(g_endCalls, 0) << "callbacks run only inside update";
    system->update();
    EXPECT_EQ(g_endCalls, 1);
    EXPECT_FALSE(playing(channel));
    EXPECT_EQ(channel->getPosition(&position, TIMEUNIT_PCM), ERR_INVALID_HANDLE);
    system->update();
    EXPECT_EQ(g_endCalls, 1);
}

TEST_F(Clock, ReleasingAPlayingSoundStopsItsChannel) {
    start(OUTPUTTYPE_NOSOUND_NRT, 8000);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture("tone.mp3").c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    ostaudio::testing::advance(system, 500);
    ASSERT_EQ(sound->release(), OK);
    EXPECT_FALSE(playing(channel));
    EXPECT_EQ(ostaudio::testing::advance(system, 500), OK);
    // A sound never released is freed with the system (checked by LSan).
    ASSERT_EQ(system->createSound(fixture("tone.ogg").c_str(), CREATESTREAM, nullptr, &sound), OK);
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
}

TEST_F(Clock, RealTimeNoSoundMovesOnItsOwn) {
    start(OUTPUTTYPE_NOSOUND, 8000);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture("stereo8k.wav").c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    EXPECT_EQ(ostaudio::testing::advance(system, 100), ERR_UNSUPPORTED);
    unsigned position = 0;
    for (int i = 0; i < 200 && position == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        channel->getPosition(&position, TIMEUNIT_MS);
    }
    EXPECT_GT(position, 0u);
}

using BadInput = Fixture;

TEST_F(BadInput, FilesThatAreNotAudioFailCleanly) {
    start(OUTPUTTYPE_NOSOUND_NRT, 44100);
    std::string wav = readFile(fixture("stereo8k.wav"));
    std::string mp3 = readFile(fixture("tone.mp3"));
    std::string noise(20000, '\0');
    unsigned seed = 12345;
    for (char& c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = (char)(seed >> 16);
    }
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty.wav", ""},
        {"text.mp3", "This is not music at all.\n"},
        {"noise.mp3", noise},
        {"noise.ogg", noise},
        {"header_only.wav", wav.substr(0, 30)},
        {"header_only.flac", readFile(fixture("tone.flac")).substr(0, 40)},
        {"png.mp3", std::string("\x89PNG\r\n\x1a\n", 8) + noise.substr(0, 200)},
    };
    for (const Case& c : cases) {
        std::string path = tempPath(c.name);
        writeFile(path, c.bytes);
        Sound* sound = reinterpret_cast<Sound*>(0x1);
        EXPECT_NE(system->createSound(path.c_str(), CREATESTREAM, nullptr, &sound), OK) << c.name;
        EXPECT_EQ(sound, nullptr) << c.name;
        std::remove(path.c_str());
    }

    Sound* sound = nullptr;
    EXPECT_EQ(system->createSound(tempPath("missing.mp3").c_str(), CREATESTREAM, nullptr, &sound), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(system->createSound("", CREATESTREAM, nullptr, &sound), ERR_FILE_NOT_FOUND);
    EXPECT_NE(system->createSound(::testing::TempDir().c_str(), CREATESTREAM, nullptr, &sound), OK);
    EXPECT_EQ(system->createSound(nullptr, CREATESTREAM, nullptr, &sound), ERR_INVALID_PARAM);
    // A FIFO would block an open; it is refused before that.
    std::string fifo = tempPath("fifo.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(system->createSound(fifo.c_str(), CREATESTREAM, nullptr, &sound), OK);
    std::remove(fifo.c_str());
}

TEST_F(BadInput, DamageInsideAFilePlaysWhatIsLeftAndEnds) {
    start(OUTPUTTYPE_NOSOUND_NRT, 44100);
    std::string mp3 = readFile(fixture("tone.mp3"));
    std::string wav = readFile(fixture("stereo8k.wav"));
    std::string scrambled = mp3;
    for (std::size_t i = mp3.size() / 3; i < mp3.size() / 2; ++i) scrambled[i] = (char)(i * 37);
    struct Case {
        const char* name;
        std::string bytes;
        Mode mode;
    } cases[] = {
        {"half.wav", wav.substr(0, wav.size() / 2), CREATESTREAM},
        {"half.mp3", mp3.substr(0, mp3.size() / 2), CREATESTREAM},
        {"scrambled.mp3", scrambled, CREATESTREAM},
        {"half_loop.mp3", mp3.substr(0, mp3.size() / 2), CREATESTREAM | LOOP_NORMAL},
    };
    for (const Case& c : cases) {
        std::string path = tempPath(c.name);
        writeFile(path, c.bytes);
        Sound* sound = nullptr;
        ASSERT_EQ(system->createSound(path.c_str(), c.mode, nullptr, &sound), OK) << c.name;
        Channel* channel = nullptr;
        ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
        g_endCalls = 0;
        channel->setCallback(countEnd);
        long advanced = runToEnd(channel, 44100 * 6);
        if (c.mode & LOOP_NORMAL) {
            EXPECT_TRUE(playing(channel)) << c.name;
        } else {
            EXPECT_EQ(g_endCalls, 1) << c.name;
            EXPECT_LT(advanced, 44100 * 3) << c.name;
        }
        sound->release();
        std::remove(path.c_str());
    }
}

TEST(Pulse, NoServerMeansNoDriversQuietly) {
    const char* old = std::getenv("PULSE_SERVER");
    std::string saved = old != nullptr ? old : "";
    ::setenv("PULSE_SERVER", "unix:/nonexistent/ostaudio-test", 1);
    setOutputOverride(OUTPUTTYPE_PULSEAUDIO);
    System* system = nullptr;
    ASSERT_EQ(System_Create(&system), OK);
    int drivers = -1;
    EXPECT_EQ(system->getNumDrivers(&drivers), OK);
    EXPECT_EQ(drivers, 0);
    char name[16] = "x";
    EXPECT_NE(system->getDriverInfo(0, name, sizeof name, nullptr), OK);
    EXPECT_NE(system->init(100, INIT_NORMAL, nullptr), OK);
    // The way out: no sound, in real time.
    ASSERT_EQ(system->setOutput(OUTPUTTYPE_NOSOUND), OK);
    EXPECT_EQ(system->init(100, INIT_NORMAL, nullptr), OK);
    system->release();
    setOutputOverride(OUTPUTTYPE_AUTODETECT);
    if (old != nullptr) {
        ::setenv("PULSE_SERVER", saved.c_str(), 1);
    } else {
        ::unsetenv("PULSE_SERVER");
    }
}

TEST(Api, AFailedOpenLeavesASystemThatReleasesCleanly) {
    setOutputOverride(OUTPUTTYPE_WAVWRITER, "/nonexistent-dir/out.wav");
    System* system = nullptr;
    ASSERT_EQ(System_Create(&system), OK);
    EXPECT_NE(system->init(100, INIT_NORMAL, nullptr), OK);
    EXPECT_NE(system->init(100, INIT_NORMAL, nullptr), OK);
    Sound* sound = nullptr;
    EXPECT_EQ(system->createSound(fixture("tone.ogg").c_str(), CREATESTREAM, nullptr, &sound), ERR_UNINITIALIZED);
    EXPECT_EQ(system->update(), OK);
    EXPECT_EQ(system->release(), OK);
    setOutputOverride(OUTPUTTYPE_AUTODETECT);
}

TEST(Api, ArgumentsAreChecked) {
    setOutputOverride(OUTPUTTYPE_NOSOUND_NRT);
    System* system = nullptr;
    EXPECT_EQ(System_Create(nullptr), ERR_INVALID_PARAM);
    ASSERT_EQ(System_Create(&system), OK);
    unsigned version = 0;
    ASSERT_EQ(system->getVersion(&version), OK);
    EXPECT_GE(version, 0x43306u);
    Sound* sound = nullptr;
    EXPECT_EQ(system->createSound(fixture("tone.ogg").c_str(), CREATESTREAM, nullptr, &sound), ERR_UNINITIALIZED);
    char name[4];
    ASSERT_EQ(system->getDriverInfo(0, name, sizeof name, nullptr), OK);
    EXPECT_EQ(std::strlen(name), 3u) << "names are cut to fit, with the terminator";
    EXPECT_EQ(system->init(0, INIT_NORMAL, nullptr), ERR_INVALID_PARAM);
    ASSERT_EQ(system->init(1, INIT_NORMAL, nullptr), OK);
    EXPECT_EQ(system->init(1, INIT_NORMAL, nullptr), ERR_INITIALIZED);
    EXPECT_EQ(system->setOutput(OUTPUTTYPE_NOSOUND), ERR_INITIALIZED);
    Channel* channel = nullptr;
    EXPECT_EQ(system->playSound(CHANNEL_FREE, nullptr, false, &channel), ERR_INVALID_PARAM);
    ASSERT_EQ(system->createSound(fixture("tone.ogg").c_str(), CREATESTREAM, nullptr, &sound), OK);
    Sound* other = nullptr;
    ASSERT_EQ(system->createSound(fixture("tone.flac").c_str(), CREATESTREAM, nullptr, &other), OK);
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    Channel* second = nullptr;
    EXPECT_EQ(system->playSound(CHANNEL_FREE, other, false, &second), ERR_CHANNEL_ALLOC);
    unsigned length = 0;
    EXPECT_EQ(sound->getLength(&length, 0x40), ERR_INVALID_PARAM);
    system->release();
    setOutputOverride(OUTPUTTYPE_AUTODETECT);
}

}  // namespace
