// The play engine over the non-real-time no-sound output and the scripted
// system of the audio test support: set-up codes and warnings, the three
// states, opening files, and the end of a track.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common/ot_messages.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/user.h"
#include "playback/ot_playengine.h"
#include "support/audio_testing.h"
#include "support/files.h"

namespace {

namespace oa = ostaudio;

std::string fixture(const char* name) { return std::string(OST_AUDIO_FIXTURES) + "/" + name; }

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// An ID3v2.3 tag with one TIT2 frame in encoding 0.
std::string id3Title(const std::string& title) {
    std::string frame = "TIT2";
    std::uint32_t size = (std::uint32_t)title.size() + 1;
    frame += (char)(size >> 24);
    frame += (char)(size >> 16);
    frame += (char)(size >> 8);
    frame += (char)size;
    frame += std::string("\0\0\0", 3) + title;
    std::string tag = "ID3";
    tag += std::string("\x03\x00\x00", 3);
    std::uint32_t s = (std::uint32_t)frame.size();
    tag += (char)((s >> 21) & 0x7f);
    tag += (char)((s >> 14) & 0x7f);
    tag += (char)((s >> 7) & 0x7f);
    tag += (char)(s & 0x7f);
    return tag + frame;
}

// Reaches the engine's members and its system's clock.
class Engine : public OstPlayEngine {
public:
    using OstPlayEngine::m_bStopped;
    using OstPlayEngine::m_pChannel;
    using OstPlayEngine::m_pSound;
    using OstPlayEngine::m_pSystem;
    void advanceMs(long ms) { oa::testing::advance(m_pSystem, ms * oa::testing::outputRate(m_pSystem) / 1000); }
    unsigned positionMs() {
        unsigned position = 0;
        m_pChannel->getPosition(&position, oa::TIMEUNIT_MS);
        return position;
    }
};

class PlayEngine : public ::testing::Test {
protected:
    win32::DiagnosticsRecording m_recording;

    void SetUp() override {
        win32::clearDiagnostics();
        oa::setOutputOverride(oa::OUTPUTTYPE_NOSOUND_NRT);
    }
    void TearDown() override {
        oa::testing::clearScript();
        oa::setOutputOverride(oa::OUTPUTTYPE_AUTODETECT);
    }

    std::vector<std::string> boxes() {
        std::vector<std::string> out;
        for (const auto& box : win32::messageBoxes()) out.push_back(box.caption + ": " + box.text);
        return out;
    }
    int initScripted(const oa::testing::Script& script) {
        oa::testing::setScript(script);
        Engine engine;
        return engine.Init();
    }
};

TEST_F(PlayEngine, InitCodesFollowEachFailingStep) {
    oa::testing::Script script;
    script.createResult = oa::ERR_MEMORY;
    EXPECT_EQ(initScripted(script), 1);
    script = {};
    script.version = 0x43305;
    EXPECT_EQ(initScripted(script), 2);
    script = {};
    script.version = 0x43306;
    EXPECT_EQ(initScripted(script), 0);
    script = {};
    script.numDriversResult = oa::ERR_OUTPUT_INIT;
    EXPECT_EQ(initScripted(script), 3);
    script = {};
    script.initResults = {oa::ERR_OUTPUT_INIT};
    EXPECT_EQ(initScripted(script), 4);
    script.initResults = {oa::ERR_OUTPUT_FORMAT, oa::ERR_OUTPUT_FORMAT};
    EXPECT_EQ(initScripted(script), 4);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(PlayEngine, InitConfiguresTheDriverInOrderAndRetriesInStereo) {
    oa::testing::Script script;
    script.caps = oa::CAPS_HARDWARE_EMULATED;
    script.speakerMode = oa::SPEAKERMODE_5POINT1;
    script.driverName = "SigmaTel High Definition Audio";
    script.initResults = {oa::ERR_OUTPUT_FORMAT, oa::OK};
    EXPECT_EQ(initScripted(script), 0);
    std::vector<std::string> expected = {"getNumDrivers",       "getDriverCaps 0",
                                         "setSpeakerMode 5",    "setDSPBufferSize 1024 10",
                                         "getDriverInfo 0 256", "setSoftwareFormat 48000 5 0 0 1",
                                         "init 100 0",          "setSpeakerMode 2",
                                         "init 100 0"};
    EXPECT_EQ(oa::testing::scriptedCalls(), expected);
    EXPECT_EQ(boxes(),
              std::vector<std::string>{
                  "Warning: Audio acceleration function is off, so you may suffer from some performance issues."});
    ASSERT_EQ(win32::messageBoxes().size(), 1u);
    EXPECT_EQ(win32::messageBoxes()[0].type, (unsigned)MB_OK);

    // Another name keeps the default format; plain caps show no warning.
    script = {};
    script.driverName = "sigmatel";
    EXPECT_EQ(initScripted(script), 0);
    expected = {"getNumDrivers", "getDriverCaps 0", "setSpeakerMode 2", "getDriverInfo 0 256", "init 100 0"};
    EXPECT_EQ(oa::testing::scriptedCalls(), expected);
    EXPECT_EQ(win32::messageBoxes().size(), 1u);
}

TEST_F(PlayEngine, NoDeviceWarnsAndRunsSilently) {
    oa::testing::Script script;
    script.numDrivers = 0;
    EXPECT_EQ(initScripted(script), 0);
    std::vector<std::string> expected = {"getNumDrivers", "setOutput 2", "init 100 0"};
    EXPECT_EQ(oa::testing::scriptedCalls(), expected);
    EXPECT_EQ(boxes(), std::vector<std::string>{"Warning: No sound device found."});

    Engine engine;
    ASSERT_EQ(engine.Init(), 0);
    EXPECT_TRUE(engine.Open(wide(fixture("tone.ogg")).c_str(), true, true));
    EXPECT_EQ(engine.GetState(), 1);
}

TEST_F(PlayEngine, NothingLoadedOrStoppedDoesNothing) {
    Engine engine;
    // Before Init there is no system: nothing opens, nothing plays.
    EXPECT_FALSE(engine.Open(wide(fixture("tone.ogg")).c_str(), true, true));
    ASSERT_EQ(engine.Init(), 0);
    EXPECT_TRUE(boxes().empty());
    engine.Stop();  // the channel is still null
    EXPECT_EQ(engine.m_pChannel, nullptr);
    engine.Play();  // no sound
    EXPECT_EQ(engine.GetState(), 0);
    EXPECT_EQ(engine.m_pChannel, nullptr);
    engine.Pause();
    EXPECT_EQ(engine.GetState(), 0);
    EXPECT_EQ(engine.GetProgress(), 0.0f);
    engine.Update();
}

TEST_F(PlayEngine, PlayPauseStopAndProgress) {
    Engine engine;
    ASSERT_EQ(engine.Init(), 0);
    ASSERT_TRUE(engine.Open(wide(fixture("tone.flac")).c_str(), false, true));
    EXPECT_EQ(engine.GetState(), 0);
    EXPECT_EQ(engine.m_pChannel, nullptr);
    engine.Play();
    EXPECT_EQ(engine.GetState(), 1);
    engine.advanceMs(500);
    EXPECT_NEAR(engine.GetProgress(), 0.25f, 0.001f);

    engine.Pause();
    EXPECT_EQ(engine.GetState(), 2);
    EXPECT_EQ(engine.GetProgress(), 0.0f);
    engine.Pause();  // no toggle
    EXPECT_EQ(engine.GetState(), 2);
    engine.advanceMs(300);
    engine.Play();
    EXPECT_EQ(engine.GetState(), 1);
    EXPECT_NEAR(engine.GetProgress(), 0.25f, 0.001f);

    engine.Stop();
    EXPECT_EQ(engine.GetState(), 0);
    EXPECT_EQ(engine.GetProgress(), 0.0f);
    // The sound stays loaded; Play starts it from the beginning.
    engine.Play();
    EXPECT_EQ(engine.GetState(), 1);
    engine.advanceMs(100);
    EXPECT_NEAR(engine.GetProgress(), 0.05f, 0.001f);
}

TEST_F(PlayEngine, SecondOpenRestartsOnTheSameChannel) {
    Engine engine;
    ASSERT_EQ(engine.Init(), 0);
    ASSERT_TRUE(engine.Open(wide(fixture("tone.ogg")).c_str(), true, true));
    engine.advanceMs(700);
    oa::Channel* channel = engine.m_pChannel;
    ASSERT_NE(channel, nullptr);
    ASSERT_TRUE(engine.Open(wide(fixture("stereo8k.wav")).c_str(), true, true));
    // The new sound is the second file (its address may well be the first's, reused).
    unsigned lengthMs = 0;
    engine.m_pSound->getLength(&lengthMs, oa::TIMEUNIT_MS);
    EXPECT_EQ(lengthMs, 1000u);
    EXPECT_EQ(engine.m_pChannel, channel);
    EXPECT_EQ(engine.GetState(), 1);
    EXPECT_EQ(engine.positionMs(), 0u);
    engine.advanceMs(250);
    EXPECT_NEAR(engine.GetProgress(), 0.25f, 0.001f);
    // The loop wraps: 1.25 s into a 1 s sound is a quarter in again.
    engine.advanceMs(1000);
    EXPECT_NEAR(engine.GetProgress(), 0.25f, 0.001f);
}

TEST_F(PlayEngine, UnreadableFileLeavesNothingLoadedAndTheOldTrackInfo) {
    std::string tagged = tempPath("tagged.mp3");
    writeFile(tagged, id3Title("Tagged Song") + readFile(fixture("tone.mp3")));
    Engine engine;
    ASSERT_EQ(engine.Init(), 0);
    ASSERT_TRUE(engine.Open(wide(tagged).c_str(), true, true));
    EXPECT_STREQ(engine.m_tag.m_szTitle, L"Tagged Song");
    EXPECT_EQ(engine.GetState(), 1);

    std::string bad = tagged + ".txt";
    writeFile(bad, "not audio");
    for (const std::string& path : {bad, tagged + ".missing"}) {
        EXPECT_FALSE(engine.Open(wide(path).c_str(), true, true)) << path;
        EXPECT_EQ(engine.GetState(), 0);
        EXPECT_EQ(engine.m_pSound, nullptr);
        EXPECT_STREQ(engine.m_tag.m_szTitle, L"Tagged Song");
        engine.Play();
        EXPECT_EQ(engine.GetState(), 0);
    }
    std::remove(bad.c_str());
    std::remove(tagged.c_str());
}

TEST_F(PlayEngine, NamesOutsideAnyLegacyCodePageOpen) {
    std::string dir = std::string(::testing::TempDir());
    std::wstring name = wide(dir) + L"ost_\u00e9\u97f3\u4e50\u0436_" + std::to_wstring(::getpid()) + L".wav";
    std::string utf8 = dir + "ost_\xc3\xa9\xe9\x9f\xb3\xe4\xb9\x90\xd0\xb6_" + std::to_string(::getpid()) + ".wav";
    writeFile(utf8, readFile(fixture("stereo8k.wav")));
    Engine engine;
    ASSERT_EQ(engine.Init(), 0);
    EXPECT_TRUE(engine.Open(name.c_str(), true, true));
    EXPECT_EQ(engine.GetState(), 1);
    std::remove(utf8.c_str());
}

TEST_F(PlayEngine, EveryFileNameOpens) {
    const std::string dir = tempPath("names");
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    const std::string tone = id3Title("From The Tag") + readFile(fixture("tone.mp3"));

    // 180 Chinese characters in three folders: 540 bytes of UTF-8.
    std::string bytes = dir;
    std::wstring name = wide(dir);
    std::vector<std::string> made;
    for (int part = 0; part < 3; ++part) {
        bytes += "/";
        name += L"/";
        for (int i = 0; i < 60; ++i) {
            bytes += "\xe9\x9f\xb3";
            name += L"\u97f3";
        }
        if (part < 2) {
            ASSERT_EQ(::mkdir(bytes.c_str(), 0700), 0);
            made.push_back(bytes);
        }
    }
    ASSERT_GT(bytes.size() - dir.size(), 511u);
    writeFile(bytes, tone);

    // A Latin-1 name: the byte 0xE9 is not UTF-8, and travels as an escape.
    const std::string latin1 = dir + "/caf\xe9.mp3";
    writeFile(latin1, tone);
    std::wstring latin1Name = wide(dir) + L"/caf" + static_cast<wchar_t>(0xDCE9) + L".mp3";

    Engine engine;
    ASSERT_EQ(engine.Init(), 0);
    for (const std::wstring& path : {name, latin1Name}) {
        engine.m_tag.ResetInfo();
        EXPECT_TRUE(engine.Open(path.c_str(), true, true));
        EXPECT_EQ(engine.GetState(), 1);
        EXPECT_STREQ(engine.m_tag.m_szTitle, L"From The Tag");
    }
    // The same name with U+00E9 is another file, which does not exist.
    EXPECT_FALSE(engine.Open((wide(dir) + L"/caf\u00e9.mp3").c_str(), true, true));
    EXPECT_EQ(engine.GetState(), 0);

    // Longer than any path the file system takes: an empty name, which fails.
    std::wstring tooLong = wide(dir) + L"/" + std::wstring(4100, L'a');
    EXPECT_FALSE(engine.Open(tooLong.c_str(), true, true));
    EXPECT_TRUE(win32::assertionReports().empty());

    std::remove(bytes.c_str());
    std::remove(latin1.c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
    ::rmdir(dir.c_str());
}

TEST_F(PlayEngine, NullPathIsAProgrammingError) {
    Engine engine;
    ASSERT_EQ(engine.Init(), 0);
    ASSERT_TRUE(engine.Open(wide(fixture("tone.ogg")).c_str(), true, true));
    EXPECT_FALSE(engine.Open(nullptr, true, true));
    ASSERT_EQ(win32::assertionReports().size(), 1u);
    EXPECT_EQ(win32::assertionReports()[0].rfind("Assertion failed: pwszUrl, file ot_playengine, line ", 0), 0u);
    // Nothing else happened: the track playing before plays on.
    EXPECT_EQ(engine.GetState(), 1);
}

int g_ended = 0;
LRESULT EndedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PLAYBACK_ENDED) ++g_ended;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(PlayEngine, TheEndStopsAndNotifiesInsideUpdate) {
    headless::HeadlessBackend display;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = EndedProc;
    wc.lpszClassName = L"EngineEndedTest";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, L"EngineEndedTest", L"", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_NE(hwnd, (HWND)NULL);
    g_ended = 0;

    Engine engine;
    ASSERT_EQ(engine.Init(), 0);
    engine.SetNotifyWindow(hwnd);
    ASSERT_TRUE(engine.Open(wide(fixture("stereo8k.wav")).c_str(), true, false));
    engine.advanceMs(1200);
    EXPECT_EQ(g_ended, 0);
    EXPECT_EQ(engine.GetState(), 1);
    engine.Update();
    EXPECT_EQ(g_ended, 1);
    EXPECT_EQ(engine.GetState(), 0);
    engine.Update();
    EXPECT_EQ(g_ended, 1);
    // Loaded still: Play starts it over.
    engine.Play();
    EXPECT_EQ(engine.GetState(), 1);
    DestroyWindow(hwnd);
}

}  // namespace
