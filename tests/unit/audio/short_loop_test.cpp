// Looping short files: kept in memory and played round from it, sample for
// sample, also through the resampler; and long ones, which keep streaming,
// just as seamless.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/native_decoder.h"
#include "support/audio_testing.h"
#include "support/files.h"

using namespace ostaudio;

namespace {

std::string le32(std::uint32_t v) { return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)}; }

// A 16-bit stereo WAV of `frames` frames at `rate` whose samples start at
// `seed`; its header counts `statedFrames` (more than there are, for a cut one).
std::string wav(std::uint32_t rate, std::uint32_t frames, int seed, std::uint32_t statedFrames = 0) {
    std::string data;
    for (std::uint32_t i = 0; i < frames * 2; ++i) {
        auto v = (std::int16_t)((int)(i + 1) * 977 * seed);
        data += std::string{(char)v, (char)(v >> 8)};
    }
    std::uint32_t stated = 4 * (statedFrames != 0 ? statedFrames : frames);
    return "RIFF" + le32(36 + stated) + "WAVEfmt " + le32(16) + std::string("\1\0\2\0", 4) + le32(rate) +
           le32(rate * 4) + std::string("\4\0\x10\0", 4) + "data" + le32(stated) + data;
}

// The whole frames of a WAV from `wav`, as the decoder gives them.
std::vector<float> samplesOf(const std::string& file) {
    std::vector<float> out;
    for (std::size_t at = 44; at + 4 <= file.size(); at += 4) {
        for (int side = 0; side < 2; ++side) {
            std::int16_t v;
            std::memcpy(&v, file.data() + at + 2 * side, 2);
            out.push_back((float)v / 32768.0f);
        }
    }
    return out;
}

std::vector<float> writtenSamples(const std::string& path) {
    std::string file = readFile(path);
    std::size_t data = file.find("data");
    if (data == std::string::npos) return {};
    std::vector<float> out((file.size() - data - 8) / sizeof(float));
    std::memcpy(out.data(), file.data() + data + 8, out.size() * sizeof(float));
    return out;
}

// Loops `file` on a system writing what it plays to a WAV at `rate`. After
// `before` frames the file on disk is rewritten as `after`, unless that is
// empty; then `frames` in all are played. Returns the samples played.
std::vector<float> loop(const std::string& file, const std::string& after, int rate, long before, long frames) {
    const std::string in = tempPath("loop_in.wav");
    const std::string out = tempPath("loop_out.wav");
    writeFile(in, file);
    setOutputOverride(OUTPUTTYPE_WAVWRITER, out.c_str());
    System* system = nullptr;
    EXPECT_EQ(System_Create(&system), OK);
    EXPECT_EQ(system->setSoftwareFormat(rate, SOUND_FORMAT_PCMFLOAT, 0, 0, DSP_RESAMPLER_LINEAR), OK);
    EXPECT_EQ(system->init(8, INIT_NORMAL, nullptr), OK);
    Sound* sound = nullptr;
    Channel* channel = nullptr;
    EXPECT_EQ(system->createSound(in.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    if (sound != nullptr) {
        EXPECT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
        ostaudio::testing::advance(system, before);
        // In place, as the open file sees it.
        if (!after.empty()) writeFile(in, after);
        ostaudio::testing::advance(system, frames - before);
        bool playing = false;
        channel->isPlaying(&playing);
        EXPECT_TRUE(playing);
    }
    system->release();
    setOutputOverride(OUTPUTTYPE_AUTODETECT);
    std::vector<float> written = writtenSamples(out);
    std::remove(in.c_str());
    std::remove(out.c_str());
    return written;
}

// The index of the first sample of `got` that is not `pass` repeated, or -1.
long firstMismatch(const std::vector<float>& got, const std::vector<float>& pass) {
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i] != pass[i % pass.size()]) return (long)i;
    }
    return -1;
}

TEST(ShortLoop, PlaysRoundFromMemory) {
    // Once the first pass is in, the file changing on disk changes nothing:
    // every later pass comes from memory, and each loop point is exact.
    const int rate = 44100;
    const std::string cut = wav(rate, 4096, 1);
    struct {
        const char* name;
        std::string file;
    } cases[] = {
        {"1 frame", wav(rate, 1, 1)},           {"3 frames", wav(rate, 3, 1)},
        {"cut to 57 bytes", cut.substr(0, 57)}, {"cut to 103 bytes", cut.substr(0, 103)},
        {"92 frames", wav(rate, 92, 1)},        {"2 s", wav(rate, 2 * rate, 1)},
    };
    for (const auto& c : cases) {
        std::vector<float> pass = samplesOf(c.file);
        ASSERT_FALSE(pass.empty()) << c.name;
        std::string other = c.file.substr(0, 44) + wav(rate, (std::uint32_t)(c.file.size() - 44) / 4 + 1, 3).substr(44);
        other.resize(c.file.size());
        const long passFrames = (long)pass.size() / 2;
        // Past the second pass, the one kept.
        const long before = 2 * passFrames + rate / 2;
        const long total = before + 3 * rate;
        std::vector<float> got = loop(c.file, other, rate, before, total);
        ASSERT_EQ(got.size(), (std::size_t)total * 2) << c.name;
        EXPECT_EQ(firstMismatch(got, pass), -1) << c.name;
    }
}

TEST(ShortLoop, FromMemoryTheResamplerStillGoesOnAcrossEachLoopPoint) {
    // 441 frames at 44.1 kHz are 480 at 48 kHz: every pass resamples alike,
    // and the loop is what resampling the file repeated gives, sample for
    // sample, with nothing lost at the loop points.
    const std::string file = wav(44100, 441, 7);
    std::vector<float> pass = samplesOf(file);
    std::vector<float> repeated;
    for (int i = 0; i < 12; ++i) repeated.insert(repeated.end(), pass.begin(), pass.end());
    Resampler resampler;
    std::vector<float> expected;
    resampler.process(repeated.data(), (int)repeated.size() / 2, 44100, 48000, expected);
    std::vector<float> got = loop(file, "", 48000, 0, 10 * 480);
    ASSERT_EQ(got.size(), 2u * 10 * 480);
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], expected[i], 1e-5) << "sample " << i;
}

TEST(ShortLoop, LongFilesStreamAndLoopAsSeamlessly) {
    // Past the length kept in memory a loop reads the file again each pass.
    const int rate = 8000;
    const std::string file = wav(rate, 10 * rate + rate / 2, 5);
    std::vector<float> pass = samplesOf(file);
    // Two passes.
    std::vector<float> got = loop(file, "", rate, 0, (long)pass.size());
    ASSERT_EQ(got.size(), 2 * pass.size());
    EXPECT_EQ(firstMismatch(got, pass), -1);
}

}  // namespace
