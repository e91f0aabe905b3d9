// WAV files for tests, built byte by byte.
#pragma once

#include <cstdint>
#include <string>

// A 16-bit PCM RIFF/WAVE file at `rate` with `channels`, holding `data`
// (interleaved little-endian samples) as its sample data.
inline std::string pcm16Wav(std::uint32_t rate, std::uint16_t channels, const std::string& data) {
    auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto le16 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    const std::uint32_t frameBytes = 2u * channels;
    return "RIFF" + le32(36 + (std::uint32_t)data.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(channels) +
           le32(rate) + le32(rate * frameBytes) + le16(frameBytes) + le16(16) + "data" +
           le32((std::uint32_t)data.size()) + data;
}
