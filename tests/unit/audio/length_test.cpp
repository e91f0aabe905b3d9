// The length a sound reports against what its whole decode gives: MP3s with
// and without a header that counts their frames, behind tags of any size,
// lengths below a millisecond, and tracker modules.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/decoder.h"
#include "support/audio_testing.h"
#include "support/files.h"
#include "support/wav.h"

using namespace ostaudio;

namespace {

std::string fixture(const char* name) { return std::string(OST_AUDIO_FIXTURES) + "/" + name; }

std::string synchsafe(std::size_t n) {
    return std::string{(char)((n >> 21) & 0x7F), (char)((n >> 14) & 0x7F), (char)((n >> 7) & 0x7F), (char)(n & 0x7F)};
}

std::string be32(std::size_t n) { return std::string{(char)(n >> 24), (char)(n >> 16), (char)(n >> 8), (char)n}; }

// An ID3v2.3 tag with a title and a cover picture of `pictureBytes`.
std::string id3Tag(std::size_t pictureBytes) {
    std::string picture = std::string("\0image/jpeg\0\3\0", 14) + std::string(pictureBytes, '\xAB');
    std::string title = std::string("\0Tone", 5);
    std::string frames = "APIC" + be32(picture.size()) + std::string(2, '\0') + picture + "TIT2" + be32(title.size()) +
                         std::string(2, '\0') + title;
    return std::string("ID3\3\0\0", 6) + synchsafe(frames.size()) + frames;
}

// A silent 128 kbit/s MPEG-1 layer III frame carrying a VBRI header, as
// Fraunhofer's encoder puts first; decoders that do not know it play it.
std::string vbriFrame(std::size_t fileBytes, std::size_t frameCount) {
    std::string frame = std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\0');
    std::string vbri = "VBRI" + std::string("\0\1\2\101\0\120", 6) + be32(fileBytes) + be32(frameCount) +
                       std::string("\0\0\0\1\0\2\0\1", 8);
    frame.replace(36, vbri.size(), vbri);
    return frame;
}

// Milliseconds of audio the whole file decodes to.
double decodedMs(const std::string& path) {
    Decoder decoder(44100);
    if (decoder.open(path) != OK) return -1;
    std::vector<float> buffer(4096 * 2);
    long long frames = 0;
    for (int n; (n = decoder.read(buffer.data(), 4096, true)) > 0;) frames += n;
    return (double)frames * 1000.0 / 44100.0;
}

struct SoundLength : ::testing::Test {
    System* system = nullptr;

    void SetUp() override {
        setOutputOverride(OUTPUTTYPE_NOSOUND_NRT);
        ASSERT_EQ(System_Create(&system), OK);
        ASSERT_EQ(system->init(8, INIT_NORMAL, nullptr), OK);
    }
    void TearDown() override {
        if (system != nullptr) system->release();
        setOutputOverride(OUTPUTTYPE_AUTODETECT);
    }

    // The length a dropped file reports, once it is within `tolerance` ms of
    // `expected` or five seconds have passed: a large file's may be estimated
    // at first.
    double reportedMs(const std::string& path, double expected, double tolerance) {
        Sound* sound = nullptr;
        if (system->createSound(path.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound) != OK) return -1;
        unsigned length = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            sound->getLength(&length, TIMEUNIT_MS);
            if (std::fabs(length - expected) <= tolerance || std::chrono::steady_clock::now() > deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sound->release();
        return length;
    }
};

TEST_F(SoundLength, Mp3sReportWhatTheyDecodeTo) {
    const std::string cbr = readFile(fixture("noheader_cbr.mp3"));
    const std::string vbr = readFile(fixture("noheader_vbr.mp3"));
    const std::string xing = readFile(fixture("xing_vbr.mp3"));
    const std::string info = readFile(fixture("tone.mp3"));
    ASSERT_FALSE(cbr.empty() || vbr.empty() || xing.empty() || info.empty());
    const std::string small = id3Tag(4000);
    const std::string cover = id3Tag(2000000);
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"cbr", cbr},
        {"cbr, 4 KB tag", small + cbr},
        {"cbr, 2 MB cover", cover + cbr},
        {"vbr", vbr},
        {"vbr, 4 KB tag", small + vbr},
        {"vbr, 2 MB cover", cover + vbr},
        {"vbr behind VBRI", vbriFrame(vbr.size() + 417, 117) + vbr},
        {"vbr behind VBRI, 2 MB cover", cover + vbriFrame(vbr.size() + 417, 117) + vbr},
        {"xing", xing},
        {"xing, 2 MB cover", cover + xing},
        // Cut short, as a download that broke off: the header counts
        // frames that are not there.
        {"xing, cut in half", xing.substr(0, xing.size() / 2)},
        {"info cbr, 4 KB tag", small + info},
        // Joined after the fact: the second file's frames are not counted.
        {"info cbr, twice", info + info},
    };
    const std::string path = tempPath("length.mp3");
    for (const auto& c : cases) {
        writeFile(path, c.bytes);
        double decoded = decodedMs(path);
        ASSERT_GT(decoded, 500.0) << c.name;
        EXPECT_NEAR(reportedMs(path, decoded, 30.0), decoded, 30.0) << c.name;
    }
    std::remove(path.c_str());
}

TEST_F(SoundLength, ALargeMp3ReleasedAtOnceLeavesNothingBehind) {
    // Released before its length is known: the scan gives up with the sound.
    const std::string cbr = readFile(fixture("noheader_cbr.mp3"));
    std::string large;
    while (large.size() < 16000000) large += cbr;
    const std::string path = tempPath("large.mp3");
    writeFile(path, large);
    for (int i = 0; i < 3; ++i) {
        Sound* sound = nullptr;
        ASSERT_EQ(system->createSound(path.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
        unsigned length = 0;
        sound->getLength(&length, TIMEUNIT_MS);
        EXPECT_GT(length, 0u);
        sound->release();
    }
    std::remove(path.c_str());
}

TEST_F(SoundLength, LengthsAreKeptToTheMicrosecond) {
    // 16-bit mono WAVs: the length in microseconds is exact, in milliseconds
    // it is cut as positions are.
    struct {
        std::uint32_t rate, frames;
        std::uint64_t us;
        unsigned ms;
    } cases[] = {{44100, 336, 7619, 7}, {44100, 20, 453, 0}, {8000, 1, 125, 0}, {48000, 96000, 2000000, 2000}};
    const std::string path = tempPath("short.wav");
    for (const auto& c : cases) {
        writeFile(path, pcm16Wav(c.rate, 1, std::string(c.frames * 2, '\x10')));
        Sound* sound = nullptr;
        ASSERT_EQ(system->createSound(path.c_str(), CREATESTREAM, nullptr, &sound), OK) << c.frames;
        std::uint64_t us = 0;
        unsigned ms = 99;
        EXPECT_EQ(sound->getLengthUs(&us), OK);
        EXPECT_EQ(sound->getLength(&ms, TIMEUNIT_MS), OK);
        EXPECT_EQ(us, c.us) << c.frames << " frames at " << c.rate;
        EXPECT_EQ(ms, c.ms) << c.frames << " frames at " << c.rate;
        sound->release();
    }
    std::remove(path.c_str());
}

TEST_F(SoundLength, AModuleLoopsAtItsStatedLength) {
    // A module's stated length is its song's; what plays of a pass is as
    // long, so the position wraps where the length says, never past it.
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(fixture("tiny.mod").c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    std::uint64_t length = 0;
    ASSERT_EQ(sound->getLengthUs(&length), OK);
    ASSERT_GT(length, 1500000u);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    const long step = ostaudio::testing::outputRate(system) / 200;
    std::uint64_t last = 0, most = 0;
    int wraps = 0;
    for (long done = 0; done < (long)(ostaudio::testing::outputRate(system) * 4.5); done += step) {
        ASSERT_EQ(ostaudio::testing::advance(system, step), OK);
        std::uint64_t position = 0;
        ASSERT_EQ(channel->getPositionUs(&position), OK);
        if (position < last) {
            ++wraps;
            // The wrap comes within a step of the length.
            EXPECT_GT(last + 5000 + 1000, length) << "wrapped early, pass " << wraps;
        }
        most = std::max(most, position);
        last = position;
    }
    EXPECT_EQ(wraps, 2);
    EXPECT_LT(most, length) << "the position ran past the length";
    sound->release();
}

}  // namespace
