// Which decoder a file goes to, the FFmpeg module loaded only on need and
// failing cleanly without it, and the resampler the light decoders share.
#include <gtest/gtest.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/decoder.h"
#include "platform/audio/native_decoder.h"
#include "support/audio_testing.h"
#include "support/files.h"
#include "support/wav.h"

using namespace ostaudio;

namespace {

std::string fixture(const char* name) { return std::string(OST_AUDIO_FIXTURES) + "/" + name; }

// True if a shared object whose name contains `part` is in the process.
bool loaded(const char* part) {
    struct Query {
        const char* part;
        bool found;
    } query{part, false};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* q = static_cast<Query*>(data);
            if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, q->part) != nullptr) q->found = true;
            return 0;
        },
        &query);
    return query.found;
}

struct DecoderChoice : ::testing::Test {
    System* system = nullptr;

    void SetUp() override {
        setOutputOverride(OUTPUTTYPE_NOSOUND_NRT);
        ASSERT_EQ(System_Create(&system), OK);
        ASSERT_EQ(system->init(8, INIT_NORMAL, nullptr), OK);
    }
    void TearDown() override {
        ostaudio::testing::setDecoderModuleDirs(nullptr);
        if (system != nullptr) system->release();
        setOutputOverride(OUTPUTTYPE_AUTODETECT);
    }
    // The decoder that opened `path`, or "" after checking a clean failure.
    std::string open(const std::string& path, Result* rc = nullptr) {
        Sound* sound = reinterpret_cast<Sound*>(0x1);
        Result result = system->createSound(path.c_str(), CREATESTREAM, nullptr, &sound);
        if (rc != nullptr) *rc = result;
        if (result != OK) {
            EXPECT_EQ(sound, nullptr) << path;
            return "";
        }
        std::string name = ostaudio::testing::decoderName(sound);
        sound->release();
        return name;
    }
};

// A 16-bit stereo WAV of `frames` frames whose header states `rate`.
std::string wavAt(std::uint32_t rate, std::uint32_t frames) {
    std::string data;
    for (std::uint32_t i = 0; i < frames * 2; ++i) data += std::string{(char)(i * 37), (char)(i * 11)};
    return pcm16Wav(rate, 2, data);
}

// Plays a channel on the clocked output for up to `seconds`; true if it
// still plays then.
bool playsFor(System* system, Channel* channel, double seconds) {
    const long step = 4410;
    bool playing = true;
    for (long frames = 0; playing && frames < (long)(seconds * ostaudio::testing::outputRate(system)); frames += step) {
        ostaudio::testing::advance(system, step);
        system->update();
        channel->isPlaying(&playing);
    }
    return playing;
}

TEST_F(DecoderChoice, CommonFormatsNeverBringInFfmpegAndAModuleDoes) {
    // What is loaded says something only in a process that has not opened a
    // tracker file yet, as when each test runs alone under ctest.
    bool fresh = !loaded("ostaudio_ffmpeg");
    if (fresh) {
        EXPECT_FALSE(loaded("libavformat")) << "the library links FFmpeg";
    }
    struct {
        const char* file;
        const char* decoder;
    } cases[] = {
        {"stereo8k.wav", "sndfile"},
        {"tone.mp3", "mpg123"},
        {"tone.ogg", "sndfile"},
        {"tone.flac", "sndfile"},
    };
    for (const auto& c : cases) EXPECT_EQ(open(fixture(c.file)), c.decoder) << c.file;
    if (fresh) {
        EXPECT_FALSE(loaded("ostaudio_ffmpeg"));
        EXPECT_FALSE(loaded("libavformat"));
    }
    EXPECT_EQ(open(fixture("tiny.mod")), "ffmpeg");
    EXPECT_TRUE(loaded("ostaudio_ffmpeg"));
}

TEST_F(DecoderChoice, AContainerHeaderWinsOverMpegLikeBytesInItsData) {
    // A 440 Hz tone in a 16-bit mono WAV of 0.781 s whose samples hold two
    // MPEG-1 layer III frame headers a frame apart, near the start.
    const std::uint32_t rate = 22050, frames = 17221;
    std::string data;
    for (std::uint32_t i = 0; i < frames; ++i) {
        auto s = (std::int16_t)std::lround(8000.0 * std::sin(2.0 * M_PI * 440.0 * i / rate));
        data += {(char)(s & 0xFF), (char)((s >> 8) & 0xFF)};
    }
    const std::string header("\xFF\xFB\x90\x00", 4);  // 128 kbit/s at 44.1 kHz: 417 bytes a frame
    data.replace(100, 4, header);
    data.replace(100 + 417, 4, header);
    const std::string wav = pcm16Wav(rate, 1, data);
    // MP3s keep their reader, behind a tag or a few stray bytes.
    const std::string mp3 = readFile(fixture("tone.mp3"));
    const std::string tag = std::string("ID3\3\0\0\0\0\0\x0A", 10) + std::string(10, '\0');
    struct {
        const char* name;
        std::string bytes;
        const char* decoder;
    } cases[] = {
        {"wav.wav", wav, "sndfile"},
        {"tagged.mp3", tag + mp3, "mpg123"},
        {"stray.mp3", std::string("\0\x01junk", 6) + mp3, "mpg123"},
    };
    const std::string path = tempPath("container");
    for (const auto& c : cases) {
        writeFile(path, c.bytes);
        EXPECT_EQ(open(path), c.decoder) << c.name;
    }

    // The WAV plays whole, as the tone it is, and reports its length.
    writeFile(path, wav);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(path.c_str(), CREATESTREAM, nullptr, &sound), OK);
    std::uint64_t length = 0;
    EXPECT_EQ(sound->getLengthUs(&length), OK);
    EXPECT_EQ(length, (std::uint64_t)frames * 1000000 / rate);
    sound->release();
    Decoder decoder(rate);
    ASSERT_EQ(decoder.open(path), OK);
    std::vector<float> out(4096 * 2);
    long total = 0;
    double energy = 0.0;
    for (int n; (n = decoder.read(out.data(), 4096, true)) > 0; total += n) {
        for (int i = 0; i < n * 2; ++i) energy += (double)out[(std::size_t)i] * out[(std::size_t)i];
    }
    EXPECT_EQ(total, (long)frames);
    // A sine of amplitude 8000/32768 has an RMS of 0.173.
    EXPECT_NEAR(std::sqrt(energy / (2.0 * (double)std::max(total, 1L))), 0.173, 0.01);
    std::remove(path.c_str());
}

TEST_F(DecoderChoice, WithoutTheModuleOnlyItsFormatsFail) {
    std::string empty = tempPath("nomodule");
    ASSERT_EQ(::mkdir(empty.c_str(), 0700), 0);
    std::vector<std::string> dirs = {empty, "/nonexistent/dir"};
    ostaudio::testing::setDecoderModuleDirs(&dirs);
    Result rc = OK;
    EXPECT_EQ(open(fixture("tiny.mod"), &rc), "");
    EXPECT_NE(rc, OK);
    EXPECT_EQ(open(fixture("tone.mp3")), "mpg123");
    EXPECT_EQ(open(fixture("tone.flac")), "sndfile");
    // A file that is not a module library at all is refused like a missing one.
    writeFile(empty + "/ostaudio_ffmpeg.so", "not a shared object");
    EXPECT_EQ(open(fixture("tiny.mod"), &rc), "");
    EXPECT_NE(rc, OK);
    std::remove((empty + "/ostaudio_ffmpeg.so").c_str());
    ::rmdir(empty.c_str());

    ostaudio::testing::setDecoderModuleDirs(nullptr);
    EXPECT_EQ(open(fixture("tiny.mod")), "ffmpeg");
}

TEST_F(DecoderChoice, DamagedFilesFailCleanlyOnEitherPath) {
    std::string mp3 = readFile(fixture("tone.mp3"));
    std::string flac = readFile(fixture("tone.flac"));
    std::string mod = readFile(fixture("tiny.mod"));
    std::string wav = readFile(fixture("stereo8k.wav"));
    // A WAV header that promises data it does not have.
    std::string emptyWav = wav.substr(0, 44);
    // An ID3 tag that claims to run past the end of the file.
    std::string hugeTag = std::string("ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10) + mp3.substr(0, 4000);
    // Frame headers with nothing decodable in them.
    std::string headersOnly;
    for (int i = 0; i < 50; ++i) headersOnly += std::string("\xFF\xFB\x90\x00", 4) + std::string(413, '\0');
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty_data.wav", emptyWav},
        {"huge_tag.mp3", hugeTag},
        {"cut_flac.flac", flac.substr(0, flac.size() / 8)},
        {"headers_only.mp3", headersOnly},
        {"module_header.mod", mod.substr(0, 1084)},
        {"module_half.mod", mod.substr(0, mod.size() / 2)},
        {"text.mod", "Not a module either.\n"},
    };
    for (const auto& c : cases) {
        std::string path = tempPath(c.name);
        writeFile(path, c.bytes);
        Sound* sound = nullptr;
        Result rc = system->createSound(path.c_str(), CREATESTREAM, nullptr, &sound);
        if (rc == OK) {
            // What opened must also end: play it through the clocked output.
            Channel* channel = nullptr;
            ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK) << c.name;
            bool playing = true;
            long frames = 0;
            while (playing && frames < 44100L * 60) {
                ostaudio::testing::advance(system, 4410);
                system->update();
                frames += 4410;
                channel->isPlaying(&playing);
            }
            EXPECT_FALSE(playing) << c.name;
            sound->release();
        } else {
            EXPECT_EQ(sound, nullptr) << c.name;
        }
        std::remove(path.c_str());
    }
    Result rc = OK;
    EXPECT_EQ(open(tempPath("text.mod"), &rc), "");
    EXPECT_EQ(rc, ERR_FILE_NOT_FOUND);

    // A module that ends after one row of 20 ms, as damaged ones do: looped,
    // it goes round and round, seeking back rather than opening anew.
    std::string blip = mod;
    const std::size_t row0 = 1084;
    blip.replace(row0 + 8, 8, std::string("\0\0\x0D\0\0\0\x0F\x01", 8));  // break at once, speed 1
    std::string path = tempPath("blip.mod");
    writeFile(path, blip);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(path.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    EXPECT_EQ(ostaudio::testing::decoderName(sound), "ffmpeg");
    unsigned length = 0;
    sound->getLength(&length, TIMEUNIT_MS);
    EXPECT_LT(length, 100u);
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    EXPECT_TRUE(playsFor(system, channel, 2.0));
    sound->release();
    std::remove(path.c_str());
}

TEST_F(DecoderChoice, RatesNoFileHasAreRefusedAndTheEdgesPlay) {
    // A 16 KB file whose header says 1 Hz once took hundreds of MB, its
    // output sized by the ratio of the rates.
    struct {
        std::uint32_t rate;
        bool opens;
    } cases[] = {{1, false},     {999, false},    {1000, true},       {8000, true},
                 {768000, true}, {768001, false}, {0x7FFFFFFF, false}};
    for (const auto& c : cases) {
        std::string path = tempPath("rate" + std::to_string(c.rate) + ".wav");
        writeFile(path, wavAt(c.rate, 4096));
        Sound* sound = reinterpret_cast<Sound*>(0x1);
        Result rc = system->createSound(path.c_str(), CREATESTREAM, nullptr, &sound);
        std::remove(path.c_str());
        if (!c.opens) {
            EXPECT_NE(rc, OK) << c.rate;
            EXPECT_EQ(sound, nullptr) << c.rate;
            continue;
        }
        ASSERT_EQ(rc, OK) << c.rate;
        unsigned length = 0;
        sound->getLength(&length, TIMEUNIT_MS);
        EXPECT_EQ(length, 4096ull * 1000 / c.rate) << c.rate;
        Channel* channel = nullptr;
        ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
        EXPECT_FALSE(playsFor(system, channel, 4096.0 / c.rate + 1.0)) << c.rate << " Hz never ended";
        sound->release();
    }
}

TEST_F(DecoderChoice, LoopingStreamsLoopOnWhereSeekingFails) {
    // One flipped byte early in a FLAC: its first pass ends at the damage,
    // after which libsndfile refuses to seek back to the start.
    std::string flac = readFile(fixture("tone.flac"));
    flac[137] = (char)(flac[137] ^ 0xA5);
    std::string path = tempPath("damaged.flac");
    writeFile(path, flac);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(path.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    EXPECT_EQ(ostaudio::testing::decoderName(sound), "sndfile");
    Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    // A pass is 1.5 s: five seconds take it round three times.
    EXPECT_TRUE(playsFor(system, channel, 5.0));
    unsigned position = 0;
    channel->getPosition(&position, TIMEUNIT_MS);
    EXPECT_LT(position, 1500u);
    sound->release();
    std::remove(path.c_str());
}

// Interleaved stereo frames: left a ramp, right its negative.
std::vector<float> ramp(int frames) {
    std::vector<float> out((std::size_t)frames * 2);
    for (int i = 0; i < frames; ++i) {
        out[2 * (std::size_t)i] = (float)i / (float)frames;
        out[2 * (std::size_t)i + 1] = -(float)i / (float)frames;
    }
    return out;
}

TEST(Resampler, EqualRatesPassThroughUntouched) {
    Resampler resampler;
    std::vector<float> in = ramp(1000);
    std::vector<float> out;
    resampler.process(in.data(), 1000, 44100, 44100, out);
    resampler.drain(44100, 44100, out);
    EXPECT_EQ(out, in);
}

TEST(Resampler, ChunksAndLoopsMakeNoSeam) {
    // However the input is cut, and across the end of one pass into the
    // next, the output is what one uninterrupted run would give.
    for (auto [inRate, outRate] : {std::pair{8000, 44100}, std::pair{48000, 44100}, std::pair{22050, 48000}}) {
        std::vector<float> pass = ramp(997);
        std::vector<float> twice = pass;
        twice.insert(twice.end(), pass.begin(), pass.end());
        Resampler whole;
        std::vector<float> expected;
        whole.process(twice.data(), 997 * 2, inRate, outRate, expected);
        whole.drain(inRate, outRate, expected);

        Resampler pieces;
        std::vector<float> got;
        for (int p = 0; p < 2; ++p) {
            int at = 0;
            for (int size : {1, 7, 300, 689}) {
                pieces.process(pass.data() + (std::size_t)at * 2, size, inRate, outRate, got);
                at += size;
            }
        }
        pieces.drain(inRate, outRate, got);
        ASSERT_EQ(got.size(), expected.size()) << inRate << " to " << outRate;
        for (std::size_t i = 0; i < got.size(); ++i) ASSERT_FLOAT_EQ(got[i], expected[i]) << i;

        // The count follows the ratio, and a ramp stays on its line.
        double ideal = 997.0 * 2 * outRate / inRate;
        EXPECT_NEAR((double)got.size() / 2, ideal, 1.0);
        double step = (double)inRate / outRate / 997.0;
        for (std::size_t i = 0; i + 1 < got.size() / 2 && (double)i * inRate / outRate < 996; ++i) {
            ASSERT_NEAR(got[2 * i], (double)i * step, 1e-5) << i;
            ASSERT_FLOAT_EQ(got[2 * i + 1], -got[2 * i]);
        }
    }
}

}  // namespace
