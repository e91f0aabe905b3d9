#include "playback/ot_unsyncbuf.h"

#include <algorithm>

std::size_t RemoveUnsyncZeros(unsigned char* data, std::size_t n, bool& afterFF) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = data[i];
        if (!(afterFF && c == 0x00)) data[kept++] = c;
        // FF 00 00 keeps its second zero: only the inserted one goes.
        afterFF = c == 0xFF;
    }
    return kept;
}

OstUnsyncBuf::OstUnsyncBuf(std::istream& source, std::uint64_t begin, std::uint64_t end)
    : m_source(source), m_begin(begin), m_end(std::max(begin, end)), m_next(begin), m_base(0), m_afterFF(false) {
    setg(m_block, m_block, m_block);
}

void OstUnsyncBuf::Restart() {
    m_next = m_begin;
    m_base = 0;
    m_afterFF = false;
    setg(m_block, m_block, m_block);
}

OstUnsyncBuf::int_type OstUnsyncBuf::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    m_base += static_cast<std::uint64_t>(egptr() - eback());
    setg(m_block, m_block, m_block);
    // A block may shrink to nothing (a lone inserted zero): take the next.
    while (m_next < m_end) {
        m_source.clear();
        if (!m_source.seekg(static_cast<std::streamoff>(m_next))) break;
        const std::uint64_t left = m_end - m_next;
        const auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(left, sizeof m_block));
        m_source.read(m_block, want);
        const auto got = static_cast<std::size_t>(m_source.gcount());
        if (got == 0) break;  // the source ends before the stretch does
        m_next += got;
        const std::size_t kept = RemoveUnsyncZeros(reinterpret_cast<unsigned char*>(m_block), got, m_afterFF);
        if (kept > 0) {
            setg(m_block, m_block, m_block + kept);
            return traits_type::to_int_type(*gptr());
        }
    }
    return traits_type::eof();
}

OstUnsyncBuf::pos_type OstUnsyncBuf::seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) {
    const pos_type fail = pos_type(off_type(-1));
    if ((which & std::ios_base::in) == 0 || dir == std::ios_base::end) return fail;
    const auto here = static_cast<off_type>(m_base) + (gptr() - eback());
    const off_type target = dir == std::ios_base::beg ? off : here + off;
    if (target < 0) return fail;
    const auto to = static_cast<std::uint64_t>(target);
    if (to < m_base) Restart();
    while (to > m_base + static_cast<std::uint64_t>(egptr() - eback())) {
        setg(eback(), egptr(), egptr());
        if (traits_type::eq_int_type(underflow(), traits_type::eof())) return fail;
    }
    setg(eback(), eback() + static_cast<std::ptrdiff_t>(to - m_base), egptr());
    return pos_type(target);
}

OstUnsyncBuf::pos_type OstUnsyncBuf::seekpos(pos_type pos, std::ios_base::openmode which) {
    return seekoff(off_type(pos), std::ios_base::beg, which);
}
