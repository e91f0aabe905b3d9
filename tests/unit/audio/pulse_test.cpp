// The PulseAudio output against a private server with a null sink, started
// for these tests and stopped after them; skipped where there is none.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "platform/audio/audio.h"
#include "platform/audio/output_pulse.h"
#include "support/pulse_probe.h"

extern char** environ;

using namespace ostaudio;

namespace {

class PulseServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::string(::testing::TempDir()) + "ostaudio-pulse-" + std::to_string(::getpid());
        ::mkdir(s_dir.c_str(), 0700);
        startServer();
    }
    // Starts the server on the suite's socket (again after a kill).
    static bool startServer() {
        std::string socket = s_dir + "/native";
        std::string sink = "--load=module-null-sink sink_name=test";
        std::string native = "--load=module-native-protocol-unix socket=" + socket + " auth-anonymous=1";
        std::string runtime = "XDG_RUNTIME_DIR=" + s_dir;
        std::string home = "HOME=" + s_dir;
        const char* argv[] = {"pulseaudio",    "--daemonize=no", "--exit-idle-time=-1", "-n",   "--log-target=stderr",
                              "--log-level=0", sink.c_str(),     native.c_str(),        nullptr};
        const char* envp[] = {runtime.c_str(), home.c_str(), "PATH=/usr/bin:/bin", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0x1 /* O_WRONLY */, 0);
        if (::posix_spawnp(&s_pid, "pulseaudio", &actions, nullptr, const_cast<char**>(argv),
                           const_cast<char**>(envp)) != 0) {
            s_pid = 0;
        }
        posix_spawn_file_actions_destroy(&actions);
        struct stat st;
        for (int i = 0; s_pid != 0 && i < 100 && ::stat(socket.c_str(), &st) != 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (s_pid != 0 && ::stat(socket.c_str(), &st) == 0) s_server = "unix:" + socket;
        return s_pid != 0;
    }
    static void stopServer(int sig) {
        if (s_pid != 0) {
            ::kill(s_pid, sig);
            ::waitpid(s_pid, nullptr, 0);
            s_pid = 0;
        }
    }
    static void TearDownTestSuite() {
        stopServer(SIGTERM);
        std::string cmd = "rm -rf '" + s_dir + "'";
        if (std::system(cmd.c_str()) != 0) {
        }
    }
    void SetUp() override {
        if (s_server.empty()) GTEST_SKIP() << "no PulseAudio server could be started";
        ::setenv("PULSE_SERVER", s_server.c_str(), 1);
        setOutputOverride(OUTPUTTYPE_PULSEAUDIO);
    }
    void TearDown() override {
        ::unsetenv("PULSE_SERVER");
        setOutputOverride(OUTPUTTYPE_AUTODETECT);
    }

    static inline pid_t s_pid = 0;
    static inline std::string s_dir;
    static inline std::string s_server;
};

TEST_F(PulseServer, SinksAreDriversAndAStreamPlays) {
    System* system = nullptr;
    ASSERT_EQ(System_Create(&system), OK);
    int drivers = 0;
    ASSERT_EQ(system->getNumDrivers(&drivers), OK);
    ASSERT_GE(drivers, 1);
    char name[256] = {};
    ASSERT_EQ(system->getDriverInfo(0, name, sizeof name, nullptr), OK);
    EXPECT_NE(name[0], '\0');
    ASSERT_EQ(system->init(100, INIT_NORMAL, nullptr), OK);

    Sound* sound = nullptr;
    std::string file = std::string(OST_AUDIO_FIXTURES) + "/tone.ogg";
    ASSERT_EQ(system->createSound(file.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_REUSE, sound, false, &channel), OK);
    unsigned position = 0;
    for (int i = 0; i < 300 && position == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        system->update();
        channel->getPosition(&position, TIMEUNIT_MS);
    }
    EXPECT_GT(position, 0u);

    // Once what was queued before the pause has played out, the position
    // holds; stop and play again start over.
    ASSERT_EQ(channel->setPaused(true), OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    unsigned paused = 0, later = 0;
    channel->getPosition(&paused, TIMEUNIT_MS);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    channel->getPosition(&later, TIMEUNIT_MS);
    EXPECT_EQ(paused, later);
    ASSERT_EQ(channel->stop(), OK);
    ASSERT_EQ(system->playSound(CHANNEL_REUSE, sound, false, &channel), OK);
    ASSERT_EQ(sound->release(), OK);
    ASSERT_EQ(system->release(), OK);
}

// A tone that counts what is taken from it.
struct ToneSource : MixSource {
    std::atomic<long> mixed{0};
    void mix(float* out, int frames, bool) override {
        long at = mixed.load();
        for (int i = 0; i < frames; ++i) {
            float v = 0.25f * (float)std::sin(2 * M_PI * 440.0 * (double)(at + i) / 44100.0);
            out[2 * i] = out[2 * i + 1] = v;
        }
        mixed += frames;
    }
    bool active() override { return true; }
};

// Frames heard: taken from the source and no longer held by the output.
long heard(PulseOutput& output, ToneSource& source) {
    output.lock();
    long value = source.mixed.load() - (long)output.latencyFrames();
    output.unlock();
    return value;
}

bool waitUntil(const std::function<bool()>& done, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

constexpr long kRate = 44100;

TEST_F(PulseServer, PauseHoldsWhatWasNotHeardAndResumeGoesOnFromThere) {
    PulseOutput output;
    ASSERT_GE(output.numDrivers(), 1);
    ToneSource source;
    ASSERT_EQ(output.open(0, OutputFormat{}, &source), OK);
    output.setPaused(false);
    ASSERT_TRUE(waitUntil([&] { return heard(output, source) > kRate / 2; }, 10));

    // The buffer holds far more than a quarter second; a pause that let it
    // play out would be heard on for all of it.
    long before = heard(output, source);
    output.setPaused(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    long paused = heard(output, source);
    EXPECT_LT(paused - before, kRate / 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(heard(output, source), paused);
    long taken = source.mixed.load();

    // Resuming plays what was held before anything new; the server asks for
    // more once a request's worth of room is free.
    output.setPaused(false);
    ASSERT_TRUE(waitUntil([&] { return heard(output, source) > paused + kRate / 2; }, 10));
    EXPECT_GE(heard(output, source), paused);
    ASSERT_TRUE(waitUntil([&] { return source.mixed.load() > taken; }, 10));
    // Seconds queued: the server never ran dry, pause and all.
    EXPECT_EQ(PulseOutputProbe::underruns(output), 0);
    output.close();
}

TEST_F(PulseServer, AfterEachStartNothingCountsAsHeardSoonerThanItCouldBe) {
    PulseOutput output;
    ASSERT_GE(output.numDrivers(), 1);
    ToneSource source;
    ASSERT_EQ(output.open(0, OutputFormat{}, &source), OK);
    // The first start, a resume, and a start after a flush: the output may
    // lag behind what was heard, never run ahead of the wall clock since
    // the start (30 ms allowed for the server's own timing).
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        if (start == 2) output.flush();
        long before = heard(output, source);
        auto t0 = std::chrono::steady_clock::now();
        output.setPaused(false);
        long most = 0;
        for (;;) {
            long now = heard(output, source) - before;
            auto elapsed = std::chrono::steady_clock::now() - t0;
            long possible = (long)(std::chrono::duration<double>(elapsed).count() * kRate) + kRate * 30 / 1000;
            ASSERT_LE(now, possible);
            most = std::max(most, now);
            if (elapsed > std::chrono::milliseconds(1500)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_GT(most, kRate / 2) << "the position stood still";
        output.setPaused(true);
    }
    output.close();
}

// How far the server's first sink has mixed ahead beyond its configured
// latency, in microseconds, as pactl reports it; -1 if it does not.
long sinkBacklogUs() {
    FILE* list = ::popen("pactl list sinks 2>/dev/null", "r");
    if (list == nullptr) return -1;
    long backlog = -1;
    char line[512];
    while (backlog < 0 && std::fgets(line, sizeof line, list) != nullptr) {
        long latency = 0, configured = 0;
        if (std::sscanf(line, " Latency: %ld usec, configured %ld usec", &latency, &configured) == 2)
            backlog = std::max(0L, latency - configured);
    }
    ::pclose(list);
    return backlog;
}

TEST_F(PulseServer, OpenWaitsOutTheSilenceANewSinkMixedAhead) {
    // A server just started has mixed seconds of silence ahead on its sink,
    // more than the sink can take back for a new stream: once the output is
    // open, what it plays is heard at once (20 ms allowed).
    stopServer(SIGTERM);
    ASSERT_TRUE(startServer());
    PulseOutput output;
    ASSERT_GE(output.numDrivers(), 1);
    ToneSource source;
    ASSERT_EQ(output.open(0, OutputFormat{}, &source), OK);
    long backlog = sinkBacklogUs();
    ASSERT_GE(backlog, 0) << "pactl does not report the sink's latency";
    EXPECT_LE(backlog, 20000);
    output.close();
}

// A tone whose decoder keeps only a little ready at a time.
struct SlowToneSource : ToneSource {
    std::atomic<int> biggest{0};
    void mix(float* out, int frames, bool wait) override {
        biggest = std::max(biggest.load(), frames);
        ToneSource::mix(out, frames, wait);
    }
    int ready() override { return 4096; }
};

TEST_F(PulseServer, WritesNoMoreThanTheDecodersHaveReadyAndKeepsTheServerFed) {
    PulseOutput output;
    ASSERT_GE(output.numDrivers(), 1);
    SlowToneSource source;
    ASSERT_EQ(output.open(0, OutputFormat{}, &source), OK);
    output.setPaused(false);
    ASSERT_TRUE(waitUntil([&] { return heard(output, source) > kRate * 3; }, 15));
    EXPECT_LE(source.biggest.load(), 4096);
    EXPECT_EQ(PulseOutputProbe::underruns(output), 0);
    output.close();
}

// The server's volume of the stream, in percent, as pactl reports it.
int serverVolumePercent() {
    FILE* pipe = ::popen("pactl list sink-inputs 2>/dev/null", "r");
    if (pipe == nullptr) return -1;
    char line[512];
    int percent = -1;
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        const char* volume = std::strstr(line, "Volume: front-left:");
        const char* slash = volume ? std::strchr(volume, '/') : nullptr;
        if (slash != nullptr) percent = std::atoi(slash + 1);
    }
    ::pclose(pipe);
    return percent;
}

TEST_F(PulseServer, ChannelVolumeIsTheStreamVolumeOnTheServer) {
    System* system = nullptr;
    ASSERT_EQ(System_Create(&system), OK);
    ASSERT_EQ(system->init(100, INIT_NORMAL, nullptr), OK);
    Sound* sound = nullptr;
    std::string file = std::string(OST_AUDIO_FIXTURES) + "/tone.ogg";
    ASSERT_EQ(system->createSound(file.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_REUSE, sound, false, &channel), OK);
    ASSERT_TRUE(waitUntil([] { return serverVolumePercent() == 100; }, 10));
    ASSERT_EQ(channel->setVolume(0.25f), OK);
    // pactl shows the cubic volume: a quarter of the amplitude is 63 %.
    EXPECT_TRUE(waitUntil([] { return serverVolumePercent() == 63; }, 10)) << serverVolumePercent();
    ASSERT_EQ(channel->setVolume(0.0f), OK);
    EXPECT_TRUE(waitUntil([] { return serverVolumePercent() == 0; }, 10)) << serverVolumePercent();
    // A new sound on the channel is heard as it is again.
    ASSERT_EQ(system->playSound(CHANNEL_REUSE, sound, false, &channel), OK);
    EXPECT_TRUE(waitUntil([] { return serverVolumePercent() == 100; }, 10)) << serverVolumePercent();
    ASSERT_EQ(sound->release(), OK);
    ASSERT_EQ(system->release(), OK);
}

// Killed outright or told to end: either way the server is gone at once.
class ServerGone : public PulseServer, public ::testing::WithParamInterface<int> {};

TEST_P(ServerGone, IsWaitedForInSilenceAndPlayedToWhenBack) {
    PulseOutput output;
    ASSERT_GE(output.numDrivers(), 1);
    ToneSource source;
    ASSERT_EQ(output.open(0, OutputFormat{}, &source), OK);
    output.setPaused(false);
    ASSERT_TRUE(waitUntil([&] { return heard(output, source) > kRate / 4; }, 10));
    EXPECT_TRUE(PulseOutputProbe::connected(output));

    stopServer(GetParam());
    ASSERT_TRUE(waitUntil([&] { return !PulseOutputProbe::connected(output); }, 10));
    // The clock goes on without a server: a second more is taken and heard.
    long lost = heard(output, source);
    ASSERT_TRUE(waitUntil([&] { return heard(output, source) > lost + kRate; }, 10));

    ASSERT_TRUE(startServer());
    ASSERT_TRUE(waitUntil([&] { return PulseOutputProbe::connected(output); }, 15));
    long back = heard(output, source);
    ASSERT_TRUE(waitUntil([&] { return heard(output, source) > back + kRate / 2; }, 10));
    output.close();
}

INSTANTIATE_TEST_SUITE_P(Signals, ServerGone, ::testing::Values(SIGKILL, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGKILL ? "Killed" : "Terminated");
                         });

}  // namespace
