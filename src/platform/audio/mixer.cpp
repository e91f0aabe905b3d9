// The mixer: what the output pulls from the playing channels, and the
// bookkeeping of what has been heard.
#include <algorithm>
#include <limits>

#include "platform/audio/system_state.h"

namespace ostaudio {

Output* SystemState::ensureOutput() {
    if (!output) {
        switch (outputType) {
        case OUTPUTTYPE_NOSOUND: output = makeNoSoundOutput(); break;
        case OUTPUTTYPE_NOSOUND_NRT: output = makeNoSoundNrtOutput(); break;
        case OUTPUTTYPE_WAVWRITER: output = makeWavOutput(wavPath); break;
        default: output = makePulseOutput(); break;
        }
    }
    return output.get();
}

void SystemState::mix(float* out, int frames, bool wait) {
    std::lock_guard<std::mutex> lock(mutex);
    bool first = true;
    for (ChannelSlot& slot : slots) {
        if (slot.sound == nullptr || slot.paused || slot.drained) continue;
        Stream& stream = *stateOf(slot.sound)->stream;
        const float gain = outputVolume > 0.0f ? slot.volume / outputVolume : 1.0f;
        int done = 0;
        while (done < frames) {
            int want = first ? frames - done : std::min(frames - done, kScratchFrames);
            float* dst = first ? out + (std::size_t)done * 2 : scratch.data();
            Stream::ReadResult r = stream.read(dst, want, wait);
            if (!first) {
                float* acc = out + (std::size_t)done * 2;
                for (int i = 0; i < r.frames * 2; ++i) acc[i] += dst[i] * gain;
            } else if (gain != 1.0f) {
                for (int i = 0; i < r.frames * 2; ++i) dst[i] *= gain;
            }
            done += r.frames;
            slot.consumed += r.frames;
            if (r.ended) {
                slot.drained = true;
                slot.drainAt = mixed + done;
                break;
            }
            if (r.frames < want) break;  // underrun: silence for the rest
        }
        if (first) {
            std::fill(out + (std::size_t)done * 2, out + (std::size_t)frames * 2, 0.0f);
            first = false;
        }
    }
    if (first) std::fill(out, out + (std::size_t)frames * 2, 0.0f);
    mixed += frames;
}

bool SystemState::active() {
    std::lock_guard<std::mutex> lock(mutex);
    for (const ChannelSlot& slot : slots) {
        if (slot.sound != nullptr && !slot.paused) return true;
    }
    return false;
}

int SystemState::ready() {
    std::lock_guard<std::mutex> lock(mutex);
    int frames = std::numeric_limits<int>::max();
    for (ChannelSlot& slot : slots) {
        if (slot.sound == nullptr || slot.paused || slot.drained) continue;
        frames = std::min(frames, stateOf(slot.sound)->stream->readable());
    }
    return frames;
}

void SystemState::syncOutput(bool flush) {
    if (!initialized || !output) return;
    syncVolume();
    bool audible = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const ChannelSlot& slot : slots) {
            if (slot.sound != nullptr && !slot.paused) audible = true;
        }
    }
    if (flush && !audible) output->flush();
    if (audible != outputRunning) {
        output->setPaused(!audible);
        outputRunning = audible;
    }
}

void SystemState::syncVolume() {
    if (!initialized || !output || !output->hasVolume()) return;
    float loudest = 0.0f;
    {
        std::lock_guard<std::mutex> lock(mutex);
        bool any = false;
        for (const ChannelSlot& slot : slots) {
            if (slot.sound == nullptr) continue;
            loudest = std::max(loudest, slot.volume);
            any = true;
        }
        if (!any || loudest == outputVolume) return;
        outputVolume = loudest;
    }
    output->setVolume(loudest);
}

void SystemState::detach(ChannelSlot& slot) {
    if (slot.sound != nullptr) stateOf(slot.sound)->channel = -1;
    slot.sound = nullptr;
    slot.paused = false;
    slot.drained = false;
}

ChannelSlot* SystemState::slotOf(int index) {
    if (index < 0 || index >= (int)slots.size()) return nullptr;
    return &slots[(std::size_t)index];
}

std::int64_t SystemState::heardFrames(const ChannelSlot& slot, std::int64_t latency) const {
    std::int64_t played = mixed - latency;
    std::int64_t end = slot.drained ? slot.drainAt : mixed;
    std::int64_t unheard = std::clamp<std::int64_t>(end - played, 0, slot.consumed);
    std::int64_t heard = slot.consumed - unheard;
    const Stream& stream = *stateOf(slot.sound)->stream;
    std::int64_t pass = stream.passFrames();
    if (stream.looping() && pass > 0) heard %= pass;
    return heard;
}

}  // namespace ostaudio
