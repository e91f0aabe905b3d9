// Choosing a decoder for a file.
#include "platform/audio/decoder.h"

#include <new>

#include "platform/audio/length_scan.h"

namespace ostaudio {

Decoder::Decoder(int outRate) : m_outRate(outRate) {}

Decoder::~Decoder() { close(); }

Result Decoder::open(const std::string& path) {
    close();
    // The light decoders recognise their formats by content; only a file
    // none of them reads brings in FFmpeg.
    const DecoderFuncs* candidates[] = {&mpg123Decoder(), &sndfileDecoder(), nullptr};
    Result rc = ERR_FORMAT;
    for (const DecoderFuncs*& funcs : candidates) {
        if (funcs == nullptr) funcs = moduleDecoder();
        if (funcs == nullptr) break;
        void* handle = nullptr;
        Result tried = funcs->open(path.c_str(), m_outRate, &handle);
        if (tried == OK) {
            m_funcs = funcs;
            m_handle = handle;
            m_statedUs = funcs->length(handle);
            if (funcs->scan != nullptr) m_scan.reset(new (std::nothrow) LengthScan(*funcs, path));
            return OK;
        }
        // A file one decoder recognised and then found damaged says more
        // than another's not recognising it at all.
        if (rc == ERR_FORMAT) rc = tried;
    }
    return rc;
}

std::uint64_t Decoder::durationUs() const {
    std::uint64_t scanned = m_scan ? m_scan->lengthUs() : 0;
    return scanned != 0 ? scanned : m_statedUs;
}

void Decoder::close() {
    m_scan.reset();
    m_statedUs = 0;
    if (m_funcs != nullptr) m_funcs->close(m_handle);
    m_funcs = nullptr;
    m_handle = nullptr;
}

}  // namespace ostaudio
