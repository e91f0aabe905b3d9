// Undoing ID3v2 unsynchronisation: a tagger that unsynchronises inserts a
// 0x00 after each 0xFF that could pass for the start of an audio frame, and
// a reader removes the 0x00 that follows every 0xFF to see the bytes as they
// were. Used by the tag reader on one thread; no state is shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <streambuf>

// Removes, in place, the 0x00 that follows each 0xFF among the n bytes at
// data and returns how many bytes remain. afterFF carries whether the byte
// before data was 0xFF, so a run can be taken up piece by piece.
std::size_t RemoveUnsyncZeros(unsigned char* data, std::size_t n, bool& afterFF);

// A read-only stream buffer over the bytes [begin, end) of a source stream,
// unsynchronisation undone. Reads are sequential, in blocks, so memory stays
// small whatever the stretch's size; a seek forward reads through to the
// place, a seek back starts again from begin. The source must outlive the
// buffer, and nothing else may read it meanwhile.
class OstUnsyncBuf : public std::streambuf {
public:
    OstUnsyncBuf(std::istream& source, std::uint64_t begin, std::uint64_t end);

protected:
    int_type underflow() override;
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

private:
    void Restart();

    std::istream& m_source;
    std::uint64_t m_begin;
    std::uint64_t m_end;
    std::uint64_t m_next;  // source offset of the next byte to take
    std::uint64_t m_base;  // offset, after undoing, of the block's first byte
    bool m_afterFF;
    char m_block[4096];
};
