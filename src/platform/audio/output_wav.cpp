// The WAV writer: everything mixed goes to a 32-bit float stereo WAV file,
// clocked by hand like the non-real-time no-sound output. The header's sizes
// are filled in when the output closes.
#include <cstdio>
#include <cstring>

#include "platform/audio/output_nosound_nrt.h"

namespace ostaudio {

namespace {

class WavOutput : public NoSoundNrtOutput {
public:
    explicit WavOutput(std::string path) : m_path(std::move(path)) {}
    ~WavOutput() override { WavOutput::close(); }

    Result open(int driver, const OutputFormat& format, MixSource* source) override {
        if (m_file != nullptr) return ERR_INITIALIZED;
        Result rc = NoSoundNrtOutput::open(driver, format, source);
        if (rc != OK) return rc;
        m_file = std::fopen(m_path.c_str(), "wb");
        if (m_file == nullptr) {
            close();
            return ERR_OUTPUT_INIT;
        }
        m_dataBytes = 0;
        writeHeader();
        return OK;
    }

    void close() override {
        if (m_file != nullptr) {
            std::fseek(m_file, 0, SEEK_SET);
            writeHeader();
            std::fclose(m_file);
            m_file = nullptr;
        }
        NoSoundNrtOutput::close();
    }

protected:
    void deliver(const float* frames, int count) override {
        if (m_file == nullptr) return;
        std::size_t bytes = (std::size_t)count * 2 * sizeof(float);
        if (std::fwrite(frames, 1, bytes, m_file) == bytes) m_dataBytes += (std::uint32_t)bytes;
    }
    const char* name() const override { return "WAV writer"; }

private:
    static void put16(unsigned char* p, unsigned v) {
        p[0] = (unsigned char)v;
        p[1] = (unsigned char)(v >> 8);
    }
    static void put32(unsigned char* p, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) p[i] = (unsigned char)(v >> (8 * i));
    }

    void writeHeader() {
        unsigned char h[44];
        const unsigned channels = 2, bits = 32;
        const std::uint32_t rate = (std::uint32_t)m_format.rate;
        std::memcpy(h, "RIFF", 4);
        put32(h + 4, 36 + m_dataBytes);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(h + 16, 16);
        put16(h + 20, 3);  // IEEE float
        put16(h + 22, channels);
        put32(h + 24, rate);
        put32(h + 28, rate * channels * bits / 8);
        put16(h + 32, channels * bits / 8);
        put16(h + 34, bits);
        std::memcpy(h + 36, "data", 4);
        put32(h + 40, m_dataBytes);
        std::fwrite(h, 1, sizeof h, m_file);
    }

    std::string m_path;
    std::FILE* m_file = nullptr;
    std::uint32_t m_dataBytes = 0;
};

}  // namespace

std::unique_ptr<Output> makeWavOutput(const std::string& path) { return std::make_unique<WavOutput>(path); }

}  // namespace ostaudio
