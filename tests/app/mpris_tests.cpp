// The desktop's media controls in the whole program on the headless display:
// what their actions do to playback and the strip, and what they show of the
// dropped file. The bus itself is left to the end-to-end checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "app/ot_fileuri.h"
#include "app/ot_mpris.h"
#include "platform/audio/audio.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "support/files.h"
#include "support/pump.h"
#include "support/wav.h"

namespace {

using bus::PlaybackStatus;

// The whole-program tests never join the session bus of the desktop they run
// on, where a media widget would pick the player up.
const bool kNoSessionBus = setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/ostrel-tests", 1) == 0;

// An ID3v2.3 tag of the given frames (id, then the frame's bytes: the
// encoding byte and the text) in front of the tone.
std::string Tagged(std::initializer_list<std::pair<std::string, std::string>> frames) {
    std::string body;
    for (const auto& [id, text] : frames) {
        std::size_t n = text.size();
        body += id;
        body += {char(n >> 24), char(n >> 16), char(n >> 8), char(n), 0, 0};
        body += text;
    }
    std::size_t n = body.size();
    std::string tag = {
        'I', 'D', '3', 3, 0, 0, char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)};
    return tag + body + readFile(std::string(OST_FIXTURES) + "/audio/tone.mp3");
}

struct Mpris : ::testing::Test {
    Mpris() {
        EXPECT_TRUE(kNoSessionBus);
        ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT);
        EXPECT_TRUE(app.Initialize());
        hwnd = app.GetMainWindow()->GetHwnd();
        mpris = app.GetMpris();
        Pump();
    }
    ~Mpris() override { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_AUTODETECT); }

    // As the program's message loop: the media controls see each message
    // after it was dispatched.
    void Drop(const std::string& path) {
        display.dropFiles(hwnd, {path});
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) {
            DispatchMessageW(&msg);
            mpris->OnMessage(msg);
        }
    }

    headless::HeadlessBackend display;
    OstApplication app;
    HWND hwnd = nullptr;
    OstMpris* mpris = nullptr;
};

TEST_F(Mpris, MetadataShowsTheTagsReadAndLeavesOutWhatIsMissing) {
    ASSERT_NE(mpris, nullptr);
    EXPECT_EQ(mpris->metadata(), bus::TrackMetadata()) << "nothing loaded: no metadata";
    const std::string utf16Title = std::string("\x01\xFF\xFE", 3) + std::string("A\0\x4C\x6B", 4);  // "A歌"
    const std::string gbk = std::string("\x00\xD6\xD0\xCE\xC4", 5);                                 // "中文"
    struct Case {
        std::string name;
        std::string file;
        std::string title, artist, album;
    } cases[] = {
        {"utf16 title only.mp3", Tagged({{"TIT2", utf16Title}}), "A\xE6\xAD\x8C", "", ""},
        {"all three.mp3", Tagged({{"TIT2", gbk}, {"TPE1", std::string("\x03") + "Art"}, {"TALB", gbk}}),
         "\xE4\xB8\xAD\xE6\x96\x87", "Art", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"no tag.mp3", readFile(std::string(OST_FIXTURES) + "/audio/tone.mp3"), "", "", ""},
    };
    std::string previousId;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = tempPath(c.name);
        writeFile(path, c.file);
        Drop(path);
        bus::TrackMetadata track = mpris->metadata();
        EXPECT_EQ(track.title, c.title);
        EXPECT_EQ(track.artist, c.artist);
        EXPECT_EQ(track.album, c.album);
        EXPECT_EQ(track.url, FileUri(path));
        EXPECT_GT(track.lengthUs, 1900000);
        EXPECT_LT(track.lengthUs, 2300000);
        EXPECT_NE(track.trackId, previousId) << "each drop is a new track";
        previousId = track.trackId;
        std::remove(path.c_str());
    }
    Drop(tempPath("missing.mp3"));
    EXPECT_EQ(mpris->metadata(), bus::TrackMetadata()) << "a file that did not open leaves nothing loaded";
    EXPECT_FALSE(mpris->loaded());
}

TEST_F(Mpris, LengthsAreMicroseconds) {
    // 16-bit mono WAVs of 336 and 20 frames at 44.1 kHz: 7.619 ms and
    // 0.453 ms, which whole milliseconds would cut to 7 and to none.
    ASSERT_NE(mpris, nullptr);
    for (auto [frames, us] : {std::pair{336u, 7619}, std::pair{20u, 453}}) {
        std::string path = tempPath("short.wav");
        writeFile(path, pcm16Wav(44100, 1, std::string(frames * 2, '\x20')));
        Drop(path);
        EXPECT_EQ(mpris->metadata().lengthUs, us) << frames << " frames";
        std::remove(path.c_str());
    }
}

TEST_F(Mpris, FileUrisEncodeEveryByteButTheUnreservedAndSlashes) {
    struct {
        std::string path;
        const char* uri;
    } cases[] = {
        {"/a/b-c_d.e~f.mp3", "file:///a/b-c_d.e~f.mp3"},
        {"/x y/#1 %41?&'.ogg", "file:///x%20y/%231%20%2541%3F%26%27.ogg"},
        {"/\xE6\xAD\x8C/\xC3\xBC", "file:///%E6%AD%8C/%C3%BC"},
        {"/caf\xE9/\xFF\x80", "file:///caf%E9/%FF%80"},
        {"/a\nb\x7F", "file:///a%0Ab%7F"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FileUri(c.path), c.uri);
}

// The URL names the file dropped, byte for byte, whatever its name's
// encoding and however long its path.
TEST_F(Mpris, UrlNamesTheDroppedFileWithItsOwnBytes) {
    ASSERT_NE(mpris, nullptr);
    const std::string tone = readFile(std::string(OST_FIXTURES) + "/audio/tone.mp3");
    const std::string folder = tempPath("names");
    const std::string deep = folder + "/" + std::string(120, 'd') + "/" + std::string(120, 'e');
    ASSERT_EQ(std::system(("mkdir -p '" + deep + "'").c_str()), 0);
    struct Case {
        std::string path;
        std::string url;
    } cases[] = {
        {folder + "/caf\xE9.mp3", "caf%E9.mp3"},                 // Latin-1
        {folder + "/\x95\x5C\x8E\xA6.mp3", "%95%5C%8E%A6.mp3"},  // Shift-JIS, a backslash byte within
        {deep + "/" + std::string(60, 'f') + ".mp3", std::string(60, 'f') + ".mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        writeFile(c.path, tone);
        Drop(c.path);
        ASSERT_TRUE(mpris->loaded());
        // The folders' names are plain: they stand in the URL as they are.
        EXPECT_EQ(mpris->metadata().url, "file://" + c.path.substr(0, c.path.rfind('/') + 1) + c.url);
        std::remove(c.path.c_str());
    }
    EXPECT_GT(cases[2].path.size(), 300u);
    EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
}

TEST_F(Mpris, ActionsDoWhatTheButtonsDoAndRepaintPlayPause) {
    ASSERT_NE(mpris, nullptr);
    // Nothing loaded: nothing happens.
    mpris->play();
    mpris->playPause();
    mpris->stop();
    EXPECT_EQ(mpris->status(), PlaybackStatus::Stopped);
    EXPECT_FALSE(mpris->loaded());

    Drop(std::string(OST_FIXTURES) + "/audio/tone.ogg");
    ASSERT_EQ(mpris->status(), PlaybackStatus::Playing);
    EXPECT_TRUE(mpris->loaded());
    struct Step {
        void (OstMpris::*action)();
        PlaybackStatus after;
    } steps[] = {
        {&OstMpris::playPause, PlaybackStatus::Paused},  {&OstMpris::playPause, PlaybackStatus::Playing},
        {&OstMpris::pause, PlaybackStatus::Paused},      {&OstMpris::pause, PlaybackStatus::Paused},
        {&OstMpris::play, PlaybackStatus::Playing},      {&OstMpris::stop, PlaybackStatus::Stopped},
        {&OstMpris::playPause, PlaybackStatus::Stopped},  // the button never starts a stopped file
        {&OstMpris::pause, PlaybackStatus::Stopped},     {&OstMpris::play, PlaybackStatus::Playing},
    };
    int i = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(i++);
        win32::logInvalidations(true);
        (mpris->*step.action)();
        auto rects = win32::invalidations();
        win32::logInvalidations(false);
        EXPECT_EQ(mpris->status(), step.after);
        ASSERT_FALSE(rects.empty()) << "the strip repaints play/pause";
        EXPECT_EQ(rects[0].rect.left, 240);
        EXPECT_EQ(rects[0].rect.right, 295);
        Pump();
    }
    EXPECT_TRUE(mpris->loaded()) << "stop keeps the file";
}

TEST_F(Mpris, VolumeIsTakenAsTheLibraryTakesItAndCarriesOverToTheNextFile) {
    ASSERT_NE(mpris, nullptr);
    EXPECT_EQ(mpris->volume(), 1.0);
    // Set with nothing loaded, it holds for what is dropped next.
    mpris->setVolume(0.5);
    Drop(std::string(OST_FIXTURES) + "/audio/tone.ogg");
    ASSERT_EQ(mpris->status(), PlaybackStatus::Playing);
    EXPECT_EQ(mpris->volume(), 0.5);
    struct {
        double set;
        double read;
    } cases[] = {{0.25, 0.25}, {1.5, 1.5}, {-1.0, 0.0}, {1e6, 10.0}, {1.0, 1.0}};
    for (const auto& c : cases) {
        mpris->setVolume(c.set);
        EXPECT_EQ(mpris->volume(), c.read) << "set " << c.set;
    }
    mpris->setVolume(0.25);
    mpris->stop();
    mpris->play();
    Drop(std::string(OST_FIXTURES) + "/audio/tone.mp3");
    EXPECT_EQ(mpris->volume(), 0.25);
    EXPECT_EQ(mpris->status(), PlaybackStatus::Playing);
}

TEST_F(Mpris, RaiseShowsTheHiddenStripAndQuitEndsAsCloseDoes) {
    ASSERT_NE(mpris, nullptr);
    ShowWindow(hwnd, SW_HIDE);
    Pump();
    ASSERT_FALSE(IsWindowVisible(hwnd));
    mpris->raise();
    Pump();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    mpris->raise();  // already shown: stays shown
    EXPECT_TRUE(IsWindowVisible(hwnd));

    mpris->quit();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(app.Run(), 0);
}

}  // namespace
