// The silent clock, driven by hand: what it has played, holds and asks for
// as it runs, stops, stalls and is flushed.
#include <gtest/gtest.h>

#include "platform/audio/silent_clock.h"

using namespace ostaudio;

namespace {

using Clock = SilentClock::Clock;

struct Step {
    const char* what;
    int atMs;     // time of the step, from the start
    char action;  // 'r' run, 's' stop, 'w' write `frames`, 'd' take what is due, 'f' flush
    long frames;  // written ('w') or held ahead ('d')
    long wantPlayed;
    long wantHeld;
    long wantDue;  // for 'd': what it asked for (then written)
};

// 1000 frames a second: a millisecond is a frame.
const Step kSteps[] = {
    {"starts stopped, holding what a device left", 0, 'w', 0, 0, 300, 0},
    {"stopped, nothing is played", 500, 'w', 0, 0, 300, 0},
    {"running, the held frames play first", 500, 'r', 0, 0, 300, 0},
    {"asks for nothing while it holds enough", 600, 'd', 200, 100, 200, 0},
    {"asks for what keeps it ahead", 800, 'd', 200, 300, 200, 200},
    {"a stall: what it played meanwhile was silence, not owed", 2000, 'd', 200, 1500, 200, 200},
    {"stopping keeps what it holds", 2100, 's', 0, 1600, 100, 0},
    {"and time no longer counts", 3000, 'w', 0, 1600, 100, 0},
    {"running again from there", 3000, 'r', 0, 1600, 100, 0},
    {"", 3050, 'w', 0, 1650, 50, 0},
    {"a flush drops what is held", 3050, 'f', 0, 1650, 0, 0},
    {"and writing goes on from the played point", 3060, 'd', 100, 1660, 100, 100},
};

TEST(SilentClock, Steps) {
    SilentClock clock(1000);
    clock.reset(300);
    const Clock::time_point t0 = Clock::now();
    for (const Step& step : kSteps) {
        SCOPED_TRACE(step.what);
        SCOPED_TRACE(step.atMs);
        auto now = t0 + std::chrono::milliseconds(step.atMs);
        switch (step.action) {
        case 'r': clock.run(true, now); break;
        case 's': clock.run(false, now); break;
        case 'w': clock.wrote(step.frames); break;
        case 'f': clock.flush(now); break;
        case 'd': {
            std::int64_t due = clock.due(now, step.frames);
            EXPECT_EQ(due, step.wantDue);
            clock.wrote(due);
            break;
        }
        }
        EXPECT_EQ(clock.played(now), step.wantPlayed);
        EXPECT_EQ(clock.held(now), step.wantHeld);
    }
}

}  // namespace
