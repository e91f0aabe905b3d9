// What the PulseAudio output's tests read of its state, each under the
// output's lock as its main loop writes it.
#pragma once

#include "platform/audio/output_pulse.h"

namespace ostaudio {

class PulseOutputProbe {
public:
    // Times the server found the stream empty while it played.
    static int underruns(PulseOutput& output) {
        output.lock();
        const int count = output.m_underruns;
        output.unlock();
        return count;
    }

    // Whether frames go to a server now (not to the silent clock).
    static bool connected(PulseOutput& output) {
        output.lock();
        const bool up = output.m_loop != nullptr && !output.m_lost && output.m_stream != nullptr &&
                        pa_stream_get_state(output.m_stream) == PA_STREAM_READY;
        output.unlock();
        return up;
    }
};

}  // namespace ostaudio
