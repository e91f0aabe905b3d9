// The program on the headless display: start-up and its failures, the
// strip's hit test, drops and the program's own messages.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "common/ot_messages.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/internal/faults.h"
#include "playback/ot_playengine.h"
#include "support/audio_testing.h"
#include "support/files.h"
#include "support/pump.h"

namespace {

struct Program : ::testing::Test {
    Program() { ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT); }
    ~Program() override {
        ostaudio::testing::clearScript();
        ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_AUTODETECT);
    }

    std::vector<std::string> Boxes() {
        std::vector<std::string> out;
        for (auto& box : win32::messageBoxes()) out.push_back(box.caption + ": " + box.text);
        return out;
    }

    headless::HeadlessBackend display;
};

TEST_F(Program, StartsShowsTheStripAndEndsWithZeroOnTheWindowManagersClose) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    const headless::WindowState* window = display.window(hwnd);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->desc.title, "Ostrel");
    EXPECT_EQ(window->width, 540);
    EXPECT_EQ(window->height, 200);
    EXPECT_TRUE(window->visible && window->desc.topmost && window->desc.toolWindow && window->desc.acceptFiles);
    EXPECT_TRUE(window->colorKey);
    EXPECT_EQ(window->iconWidth, 128);
    ASSERT_EQ(window->blur.size(), 1u);
    EXPECT_EQ(window->blur[0].left, 20);
    EXPECT_EQ(window->blur[0].bottom, 130);
    EXPECT_TRUE(Boxes().empty());

    display.requestClose(hwnd);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Program, EachStartupFailureShowsItsOneMessageAndExitsWithMinus255) {
    struct Case {
        const char* name;
        std::function<void(headless::HeadlessBackend&)> arrange;
        std::string message;
    } cases[] = {
        {"old audio library",
         [](headless::HeadlessBackend&) {
             ostaudio::testing::Script script;
             script.version = 0x43305;
             ostaudio::testing::setScript(script);
         },
         "Error: This program requires higher version of FMOD Ex!"},
        {"audio system refused",
         [](headless::HeadlessBackend&) {
             ostaudio::testing::Script script;
             script.initResults = {ostaudio::ERR_OUTPUT_INIT, ostaudio::ERR_OUTPUT_INIT};
             ostaudio::testing::setScript(script);
         },
         "Error: Failed to initialize play engine."},
        {"graphics", [](headless::HeadlessBackend&) { win32::setFault(win32::Fault::GdiplusStartup, true); },
         "Error: This program requires higher version of GDI+!"},
        {"window class", [](headless::HeadlessBackend&) { win32::setFault(win32::Fault::RegisterClass, true); },
         "Error: Ostrel failed to load!"},
        {"window", [](headless::HeadlessBackend& fresh) { fresh.failWindowCreation(true); },
         "Error: Ostrel failed to load!"},
    };
    for (const Case& c : cases) {
        headless::HeadlessBackend fresh;  // clears faults and records
        ostaudio::testing::clearScript();
        c.arrange(fresh);
        EXPECT_EQ(wWinMain(nullptr, nullptr, nullptr, 0), -255) << c.name;
        EXPECT_EQ(Boxes(), std::vector<std::string>{c.message}) << c.name;
    }
}

TEST_F(Program, AFailedWindowIsReportedAsAnAssertionNamingNull) {
    display.failWindowCreation(true);
    EXPECT_EQ(wWinMain(nullptr, nullptr, nullptr, 0), -255);
    ASSERT_EQ(win32::assertionReports().size(), 1u);
    EXPECT_EQ(win32::assertionReports()[0].rfind("Assertion failed: NULL, file ot_control, line ", 0), 0u);
}

TEST_F(Program, NoSoundDeviceWarnsAndStartsAnyway) {
    ostaudio::testing::Script script;
    script.numDrivers = 0;
    ostaudio::testing::setScript(script);
    OstApplication app;
    EXPECT_TRUE(app.Initialize());
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Warning: No sound device found."});
}

TEST_F(Program, OnlyThePlainStripBetweenItsEdgesMovesTheWindow) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    Pump();
    struct Case {
        int x, y;
        bool moves;
    } cases[] = {{110, 115, true},  {21, 101, true},  {519, 129, true},  {110, 100, false},
                 {110, 130, false}, {20, 115, false}, {520, 115, false}, {270, 50, false}};
    for (const Case& c : cases) {
        size_t before = display.window(hwnd)->systemMoves.size();
        display.click(hwnd, c.x, c.y);
        Pump();
        EXPECT_EQ(display.window(hwnd)->systemMoves.size() - before, c.moves ? 1u : 0u) << c.x << "," << c.y;
    }
}

TEST_F(Program, ADropPlaysOnlyTheFirstFileLooping) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    Pump();
    std::string first = std::string(OST_FIXTURES) + "/audio/tone.ogg";
    std::string second = std::string(OST_FIXTURES) + "/audio/tone.mp3";
    display.dropFiles(hwnd, {first, second});
    Pump();
    OstPlayEngine* engine = app.GetPlayEngine();
    EXPECT_EQ(engine->GetState(), 1);
    EXPECT_EQ(std::wstring(engine->m_tag.m_szPath), std::wstring(first.begin(), first.end()));
}

// An ID3v2.3 tag with one TIT2 frame in encoding 0, then the tone.
std::string TaggedTone(const std::string& title) {
    std::string frame =
        "TIT2" + std::string("\0\0\0", 3) + static_cast<char>(title.size() + 1) + std::string("\0\0\0", 3) + title;
    std::string tag = std::string("ID3\x03\0\0\0\0\0", 9) + static_cast<char>(frame.size()) + frame;
    return tag + readFile(std::string(OST_FIXTURES) + "/audio/tone.mp3");
}

TEST_F(Program, ADroppedPathOpensWholeAndAnUnopenableOneLeavesThePlayerStopped) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    Pump();

    // A 261-character path, and another file at the same path cut to 259.
    const std::string dir = tempPath("long");
    ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
    std::string whole = dir + "/" + std::string(200, 'n');
    whole += std::string(261 - whole.size() - 4, 'n') + ".mp3";
    ASSERT_EQ(whole.size(), 261u);
    const std::string cut = whole.substr(0, 259);
    writeFile(whole, TaggedTone("Whole"));
    writeFile(cut, TaggedTone("Cut"));

    display.dropFiles(hwnd, {whole});
    Pump();
    OstPlayEngine* engine = app.GetPlayEngine();
    EXPECT_EQ(engine->GetState(), 1);
    EXPECT_STREQ(engine->m_tag.m_szTitle, L"Whole");

    display.dropFiles(hwnd, {"/tmp/" + std::string(300, 'x') + ".mp3"});
    Pump();
    EXPECT_EQ(engine->GetState(), 0);
    EXPECT_TRUE(Boxes().empty()) << "a file that cannot be opened is ignored silently";

    std::remove(whole.c_str());
    std::remove(cut.c_str());
    ::rmdir(dir.c_str());
}

TEST_F(Program, VolumeCommandAndMenuShownChangeNothing) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    Pump();
    display.dropFiles(hwnd, {std::string(OST_FIXTURES) + "/audio/tone.ogg"});
    Pump();
    size_t presented = display.window(hwnd)->presented.size();
    PostMessageW(hwnd, WM_CMD_VOLUME, 0, 0);
    PostMessageW(hwnd, WM_MENU_SHOWN, 0, 0);
    Pump();
    EXPECT_EQ(display.window(hwnd)->presented.size(), presented);
    EXPECT_EQ(app.GetPlayEngine()->GetState(), 1);
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(Program, ResumeCommandRestartsAStoppedTrack) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    display.dropFiles(hwnd, {std::string(OST_FIXTURES) + "/audio/tone.ogg"});
    Pump();
    app.GetPlayEngine()->Stop();
    PostMessageW(hwnd, WM_CMD_RESUME, 0, 0);
    Pump();
    EXPECT_EQ(app.GetPlayEngine()->GetState(), 1);
}

TEST_F(Program, TheProgressTimerRepaintsTheStripAndDrivesTheEngine) {
    OstApplication app;
    ASSERT_TRUE(app.Initialize());
    HWND hwnd = app.GetMainWindow()->GetHwnd();
    Pump();
    size_t presented = display.window(hwnd)->presented.size();
    MSG msg;
    // The first tick comes 100 ms after start-up.
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    std::vector<UINT> seen{msg.message};
    DispatchMessageW(&msg);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    seen.push_back(msg.message);
    DispatchMessageW(&msg);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_ENGINE_UPDATE, WM_PAINT}));
    RECT strip = display.window(hwnd)->presented.back();
    EXPECT_GT(display.window(hwnd)->presented.size(), presented);
    EXPECT_EQ(strip.left, 20);
    EXPECT_EQ(strip.top, 126);
    EXPECT_EQ(strip.right, 520);
    EXPECT_EQ(strip.bottom, 130);
}

}  // namespace
