// Feeds arbitrary bytes to the audio library as a file, through createSound
// as the play engine calls it: libmpg123, libsndfile and the FFmpeg module
// each get what they recognise. Whatever opens is played for a bounded time,
// looping when the input's size is odd so that rewinds are reached too. It
// must neither crash, hang, leak nor hold more than a few MB.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/audio/audio.h"
#include "support/audio_testing.h"

namespace {

ostaudio::System* g_system = nullptr;
std::string g_path;

void setUp() {
    ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT);
    if (ostaudio::System_Create(&g_system) != ostaudio::OK ||
        g_system->init(8, ostaudio::INIT_NORMAL, nullptr) != ostaudio::OK)
        std::abort();
    const char* dir = std::getenv("TMPDIR");
    g_path = std::string(dir != nullptr ? dir : "/tmp") + "/ostrel_fuzz_decoders_" + std::to_string(::getpid());
}

bool writeInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(g_path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (g_system == nullptr) setUp();
    if (!writeInput(data, size)) return 0;
    const bool loop = (size & 1) != 0;
    ostaudio::Mode mode = loop ? (ostaudio::CREATESTREAM | ostaudio::LOOP_NORMAL) : ostaudio::CREATESTREAM;
    ostaudio::Sound* sound = nullptr;
    if (g_system->createSound(g_path.c_str(), mode, nullptr, &sound) == ostaudio::OK) {
        ostaudio::Channel* channel = nullptr;
        if (g_system->playSound(ostaudio::CHANNEL_FREE, sound, false, &channel) == ostaudio::OK) {
            // Two seconds of output at most, a tenth at a time.
            const long step = ostaudio::testing::outputRate(g_system) / 10;
            bool playing = true;
            for (int i = 0; i < 20 && playing; ++i) {
                ostaudio::testing::advance(g_system, step);
                g_system->update();
                channel->isPlaying(&playing);
            }
        }
        unsigned length = 0;
        sound->getLength(&length, ostaudio::TIMEUNIT_MS);
        sound->release();
    }
    std::remove(g_path.c_str());
    return 0;
}
