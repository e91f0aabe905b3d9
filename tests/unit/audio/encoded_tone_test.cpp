// A tone encoded by each codec, decoded by whichever decoder takes it: the
// level does not depend on the decoder, and a file made to loop seamlessly
// loops sample for sample, its encoder's delay and padding removed.
// The files are made at test time by the ffmpeg command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/decoder.h"
#include "support/audio_testing.h"
#include "support/files.h"

using namespace ostaudio;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Mono 16-bit samples of a 441 Hz sine with a click every 250 ms: whole
// periods and whole click spacings in each second, so a file of whole
// seconds joins its end to its start without a seam.
std::vector<std::int16_t> loopableTone(int rate, int seconds, bool clicks) {
    std::vector<std::int16_t> samples((std::size_t)rate * (std::size_t)seconds);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        double v = 0.4 * std::sin(2.0 * kPi * 441.0 * (double)i / rate);
        if (clicks && i % (std::size_t)(rate / 4) == 0) v += 0.5;
        samples[i] = (std::int16_t)std::lround(v * 32767.0);
    }
    return samples;
}

std::string monoWav(int rate, const std::vector<std::int16_t>& samples) {
    auto le = [](std::uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i) s += (char)(v >> (8 * i));
        return s;
    };
    std::uint32_t size = (std::uint32_t)samples.size() * 2;
    std::string data(size, '\0');
    std::memcpy(data.data(), samples.data(), size);
    return "RIFF" + le(36 + size, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le((std::uint32_t)rate, 4) +
           le((std::uint32_t)rate * 2, 4) + le(2, 2) + le(16, 2) + "data" + le(size, 4) + data;
}

// A file made for one test, removed when it is done.
struct TempFile {
    explicit TempFile(std::string name) : path(tempPath(name)) {}
    ~TempFile() { std::remove(path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string path;
};

// Encodes a mono WAV with the ffmpeg command; `codec` is its options.
bool encode(const std::string& wav, const std::string& codec, const std::string& out) {
    std::string command =
        "ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + wav + "' " + codec + " '" + out + "' </dev/null";
    return std::system(command.c_str()) == 0;
}

// The file decoded once to its end at `rate`, as a stream that does not
// loop would play it; `decoder` names the decoder that took it.
std::vector<float> decodeOnce(const std::string& path, int rate, std::string* decoder) {
    Decoder d(rate);
    std::vector<float> out;
    if (d.open(path) != OK) return out;
    *decoder = d.name();
    std::vector<float> block(4096 * 2);
    while (int n = d.read(block.data(), 4096, true)) out.insert(out.end(), block.begin(), block.begin() + n * 2);
    return out;
}

// The shift within +-`range` frames that best lays the left channel of
// `decoded` over `tone`, judged on the first second.
int bestLag(const std::vector<float>& decoded, const std::vector<std::int16_t>& tone, int range, int rate) {
    const int frames = std::min((int)std::min(decoded.size() / 2, tone.size()) - 2 * range, rate);
    int best = 0;
    double bestError = HUGE_VAL;
    for (int lag = -range; lag <= range; ++lag) {
        double error = 0;
        for (int i = range; i < range + frames; ++i) {
            double d = decoded[2 * (std::size_t)(i + lag)] - tone[(std::size_t)i] / 32767.0;
            error += d * d;
        }
        if (error < bestError) {
            bestError = error;
            best = lag;
        }
    }
    return best;
}

double rmsDb(const std::vector<float>& stereo, int channel, std::size_t from, std::size_t frames) {
    double sum = 0;
    for (std::size_t i = from; i < from + frames; ++i) sum += (double)stereo[2 * i + channel] * stereo[2 * i + channel];
    return 10.0 * std::log10(sum / (double)frames);
}

struct Encoding {
    const char* name;
    const char* extension;
    const char* ffmpegOptions;  // null: the WAV itself
    const char* decoder;        // the decoder expected to take the file
    int rate;                   // the rate the codec runs at
};

std::string caseName(const ::testing::TestParamInfo<Encoding>& info) { return info.param.name; }

class Level : public ::testing::TestWithParam<Encoding> {};

TEST_P(Level, MonoPlaysAtTheSameLevelOnBothSidesWhateverTheDecoder) {
    const Encoding& e = GetParam();
    TempFile wav(std::string("level_") + e.name + ".wav");
    TempFile encoded(std::string("level_") + e.name + e.extension);
    writeFile(wav.path, monoWav(44100, loopableTone(44100, 2, false)));
    std::string file = wav.path;
    if (e.ffmpegOptions != nullptr) {
        file = encoded.path;
        ASSERT_TRUE(encode(wav.path, e.ffmpegOptions, file))
            << "needs the ffmpeg command (scripts/install-deps.sh test)";
    }
    std::string decoder;
    std::vector<float> pcm = decodeOnce(file, 44100, &decoder);
    EXPECT_EQ(decoder, e.decoder);
    // Whole periods from the middle, away from the codecs' edges.
    ASSERT_GE(pcm.size(), 2u * 80000);
    const double expected = 20.0 * std::log10(0.4 / std::sqrt(2.0));
    for (int channel = 0; channel < 2; ++channel) {
        EXPECT_NEAR(rmsDb(pcm, channel, 20000, 60000), expected, 0.1) << "channel " << channel;
    }
}

INSTANTIATE_TEST_SUITE_P(Decoders, Level,
                         ::testing::Values(Encoding{"wav", ".wav", nullptr, "sndfile", 44100},
                                           Encoding{"flac", ".flac", "-c:a flac", "sndfile", 44100},
                                           // Below 256 kbit/s LAME takes a pure tone down by up to half a dB.
                                           Encoding{"mp3", ".mp3", "-c:a libmp3lame -b:a 320k", "mpg123", 44100},
                                           Encoding{"aac", ".m4a", "-c:a aac -b:a 128k", "ffmpeg", 44100},
                                           Encoding{"wma", ".wma", "-c:a wmav2 -b:a 128k", "ffmpeg", 44100},
                                           Encoding{"alac", ".m4a", "-c:a alac", "ffmpeg", 44100}),
                         caseName);

struct Seamless : ::testing::TestWithParam<Encoding> {
    // Plays `path` looping on the WAV writer at `rate` for `frames` frames;
    // what was written.
    std::vector<float> playLooping(const std::string& path, int rate, long frames) {
        TempFile out("seamless_out.wav");
        setOutputOverride(OUTPUTTYPE_WAVWRITER, out.path.c_str());
        System* system = nullptr;
        std::vector<float> written;
        if (System_Create(&system) != OK) return written;
        Sound* sound = nullptr;
        Channel* channel = nullptr;
        if (system->setSoftwareFormat(rate, SOUND_FORMAT_PCMFLOAT, 0, 0, DSP_RESAMPLER_LINEAR) == OK &&
            system->init(8, INIT_NORMAL, nullptr) == OK &&
            system->createSound(path.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound) == OK &&
            system->playSound(CHANNEL_FREE, sound, false, &channel) == OK) {
            for (long done = 0; done < frames; done += 4410) {
                ostaudio::testing::advance(system, 4410);
                system->update();
            }
        }
        system->release();
        setOutputOverride(OUTPUTTYPE_AUTODETECT);
        std::string file = readFile(out.path);
        // The float samples of the "data" chunk.
        std::size_t pos = 12;
        while (pos + 8 <= file.size()) {
            std::uint32_t size;
            std::memcpy(&size, file.data() + pos + 4, 4);
            if (file.compare(pos, 4, "data") == 0) {
                written.resize(std::min<std::size_t>(size, file.size() - pos - 8) / sizeof(float));
                std::memcpy(written.data(), file.data() + pos + 8, written.size() * sizeof(float));
                break;
            }
            pos += 8 + size + (size & 1);
        }
        return written;
    }

    void check(int seconds) {
        const Encoding& e = GetParam();
        std::string stem = std::string("seamless_") + e.name + "_" + std::to_string(seconds);
        TempFile wav(stem + ".wav");
        TempFile encoded(stem + e.extension);
        std::vector<std::int16_t> tone = loopableTone(e.rate, seconds, true);
        writeFile(wav.path, monoWav(e.rate, tone));
        std::string file = wav.path;
        if (e.ffmpegOptions != nullptr) {
            file = encoded.path;
            ASSERT_TRUE(encode(wav.path, e.ffmpegOptions, file))
                << "needs the ffmpeg command (scripts/install-deps.sh test)";
        }
        std::string decoder;
        std::vector<float> once = decodeOnce(file, e.rate, &decoder);
        EXPECT_EQ(decoder, e.decoder);
        // The delay and padding the encoder added are gone: one pass is the
        // tone, in place, from its first sample (a click) to its last.
        const std::size_t pass = tone.size();
        ASSERT_EQ(once.size() / 2, pass) << "frames in one pass";
        EXPECT_EQ(bestLag(once, tone, 1100, e.rate), 0) << "the pass is not the tone in place";

        std::vector<float> looped = playLooping(file, e.rate, (long)(3 * pass + pass / 2));
        ASSERT_GE(looped.size(), 3 * once.size());
        // Exact but for rounding far below any output's last bit: the MP3
        // decoder's filters round differently after it seeks.
        for (std::size_t i = 0; i < 3 * once.size(); ++i) {
            ASSERT_NEAR(looped[i], once[i % once.size()], 1e-6)
                << "frame " << (i / 2) % pass << " of pass " << i / once.size() + 1 << ", channel " << i % 2;
        }
    }
};

// A file of one second and one long enough to be streamed from its file
// however short files are played.
TEST_P(Seamless, OneSecondLoopsSampleForSample) { check(1); }
TEST_P(Seamless, TwelveSecondsLoopSampleForSample) { check(12); }

INSTANTIATE_TEST_SUITE_P(Codecs, Seamless,
                         ::testing::Values(Encoding{"wav", ".wav", nullptr, "sndfile", 44100},
                                           Encoding{"flac", ".flac", "-c:a flac", "sndfile", 44100},
                                           Encoding{"vorbis", ".ogg", "-c:a libvorbis -q:a 4", "sndfile", 44100},
                                           Encoding{"opus", ".opus", "-c:a libopus -b:a 96k", "sndfile", 48000},
                                           Encoding{"mp3", ".mp3", "-c:a libmp3lame -b:a 128k", "mpg123", 44100},
                                           Encoding{"aac", ".m4a", "-c:a aac -b:a 128k", "ffmpeg", 44100},
                                           Encoding{"alac", ".m4a", "-c:a alac", "ffmpeg", 44100},
                                           Encoding{"opus_mka", ".mka", "-c:a libopus -b:a 96k", "ffmpeg", 48000}),
                         caseName);

TEST(SeamlessDamage, ACutAacFilePlaysWhatIsLeftAndLoopsOn) {
    // Its index promises packets the file no longer has.
    TempFile wav("cut_aac.wav");
    TempFile whole("cut_aac_whole.m4a");
    TempFile cut("cut_aac.m4a");
    writeFile(wav.path, monoWav(44100, loopableTone(44100, 2, true)));
    ASSERT_TRUE(encode(wav.path, "-c:a aac -movflags +faststart", whole.path));
    std::string bytes = readFile(whole.path);
    writeFile(cut.path, bytes.substr(0, bytes.size() * 3 / 5));
    std::string decoder;
    std::vector<float> once = decodeOnce(cut.path, 44100, &decoder);
    EXPECT_EQ(decoder, "ffmpeg");
    EXPECT_GT(once.size() / 2, 44100u * 2 / 5);
    EXPECT_LT(once.size() / 2, 44100u * 2);

    setOutputOverride(OUTPUTTYPE_NOSOUND_NRT);
    System* system = nullptr;
    ASSERT_EQ(System_Create(&system), OK);
    ASSERT_EQ(system->init(8, INIT_NORMAL, nullptr), OK);
    Sound* sound = nullptr;
    Channel* channel = nullptr;
    ASSERT_EQ(system->createSound(cut.path.c_str(), CREATESTREAM | LOOP_NORMAL, nullptr, &sound), OK);
    ASSERT_EQ(system->playSound(CHANNEL_FREE, sound, false, &channel), OK);
    for (int i = 0; i < 60; ++i) {
        ostaudio::testing::advance(system, 4410);
        system->update();
    }
    bool playing = false;
    channel->isPlaying(&playing);
    EXPECT_TRUE(playing);
    unsigned position = 0;
    channel->getPosition(&position, TIMEUNIT_PCM);
    EXPECT_LT(position, once.size() / 2);
    system->release();
    setOutputOverride(OUTPUTTYPE_AUTODETECT);
}

}  // namespace
