// ostaudio-play <file> [seconds] [loop]: plays a file through the audio
// library as the program would (PulseAudio, or no sound in real time when
// there is no server; OSTAUDIO_OUTPUT chooses otherwise), looping it with
// "loop" as a dropped file is, and exits after `seconds` or at the end of the
// file. Prints the position it reached. With OSTAUDIO_TRACE set, also prints
// "WALLCLOCK POSITION_MS" every 20 ms on stderr, to set positions against a
// recording of what was heard.
#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/audio/audio.h"

namespace {

bool g_ended = false;

ostaudio::Result onEnd(ostaudio::Channel*, ostaudio::ChannelCallbackType type, void*, void*) {
    if (type == ostaudio::CHANNEL_CALLBACKTYPE_END) g_ended = true;
    return ostaudio::OK;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file> [seconds]\n", argv[0]);
        return 2;
    }
    double seconds = argc > 2 ? std::atof(argv[2]) : 1e9;
    bool loop = argc > 3 && std::strcmp(argv[3], "loop") == 0;
    ostaudio::System* system = nullptr;
    if (ostaudio::System_Create(&system) != ostaudio::OK) return 1;
    int drivers = 0;
    system->getNumDrivers(&drivers);
    char name[256] = {};
    if (drivers == 0) {
        system->setOutput(ostaudio::OUTPUTTYPE_NOSOUND);
    } else {
        system->getDriverInfo(0, name, sizeof name, nullptr);
    }
    if (system->init(100, ostaudio::INIT_NORMAL, nullptr) != ostaudio::OK) {
        std::fprintf(stderr, "init failed\n");
        system->release();
        return 1;
    }
    ostaudio::Sound* sound = nullptr;
    if (system->createSound(argv[1], loop ? ostaudio::CREATESTREAM | ostaudio::LOOP_NORMAL : ostaudio::CREATESTREAM,
                            nullptr, &sound) != ostaudio::OK) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        system->release();
        return 1;
    }
    ostaudio::Channel* channel = nullptr;
    system->playSound(ostaudio::CHANNEL_FREE, sound, false, &channel);
    channel->setCallback(onEnd);

    const bool trace = std::getenv("OSTAUDIO_TRACE") != nullptr;
    auto start = std::chrono::steady_clock::now();
    unsigned position = 0;
    while (!g_ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(trace ? 20 : 250));
        if (trace) {
            timeval now;
            gettimeofday(&now, nullptr);
            unsigned traced = 0;
            channel->getPosition(&traced, ostaudio::TIMEUNIT_MS);
            std::fprintf(stderr, "%ld.%06ld %u\n", (long)now.tv_sec, (long)now.tv_usec, traced);
        }
        system->update();
        channel->getPosition(&position, ostaudio::TIMEUNIT_MS);
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed.count() >= seconds) break;
    }
    unsigned length = 0;
    sound->getLength(&length, ostaudio::TIMEUNIT_MS);
    std::printf("driver \"%s\": %s at %u of %u ms\n", drivers ? name : "no sound", g_ended ? "ended" : "stopped",
                position, length);
    sound->release();
    system->release();
    return 0;
}
