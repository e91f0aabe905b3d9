// The shortcuts inside OstBlurKernel::Apply, one per class or function, each
// giving the bytes of the direct sum: every output byte is the sum over the
// 7 x 7 neighbours, top row first and left to right, of value times weight,
// each product and each sum rounded to double on its own, then truncated.
// Internal to the kernel and its tests; every includer is built with
// -ffp-contract=off. Everything here is always inlined, so each target clone
// of Apply compiles the steps with its own instructions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "platform/win32/types.h"

#define OST_BLUR_INLINE __attribute__((always_inline)) inline

namespace OstBlurSteps {

// Four doubles: one pixel's four bytes, or what they sum to.
typedef double Quad __attribute__((vector_size(32)));

constexpr int kRadius = 3;
constexpr int kRows = 2 * kRadius + 1;  // also the columns
constexpr int kBlock = 4;               // pixels summed side by side
constexpr int kPad = kRadius;           // zero columns on each side of a row

// A pixel's four bytes as one value.
OST_BLUR_INLINE std::uint32_t PixelAt(const BYTE* src, std::ptrdiff_t stride, int x, int y) {
    std::uint32_t pixel;
    std::memcpy(&pixel, src + y * stride + x * 4, 4);
    return pixel;
}

// Out through a pointer: a returned vector would change the ABI between the
// clones.
OST_BLUR_INLINE void LoadQuad(const BYTE* bytes, Quad* out) {
    *out = Quad{static_cast<double>(bytes[0]), static_cast<double>(bytes[1]), static_cast<double>(bytes[2]),
                static_cast<double>(bytes[3])};
}

// Truncation toward zero; 146 at most, so the byte never wraps.
OST_BLUR_INLINE void StoreBytes(const Quad& sum, BYTE* out) {
    for (int c = 0; c < 4; ++c) out[c] = static_cast<BYTE>(static_cast<int>(sum[c]));
}

// Zero-padded rows. A neighbour outside the image adds +0.0, which leaves a
// sum of non-negative terms exactly as it was; so the seven rows around the
// one being summed are kept as doubles with zero columns on both sides (and
// rows outside the image all zero), and every pixel sums all 49 neighbours
// with no bounds check. Each byte is converted once, not 49 times. Row r
// lives in slot (r + kRadius) % kRows.
class OstPaddedRows {
public:
    OST_BLUR_INLINE OstPaddedRows(const BYTE* src, std::ptrdiff_t stride, int width, int height)
        : m_src(src),
          m_stride(stride),
          m_width(width),
          m_height(height),
          // kBlock more on the right: the last block's lanes past the width
          // read zeros.
          m_paddedWidth(static_cast<SIZE_T>(width) + 2 * kPad + kBlock),
          m_ring(new (std::nothrow) Quad[m_paddedWidth * kRows]()) {}

    OST_BLUR_INLINE bool ok() const { return m_ring != nullptr; }

    // Converts row r into its slot, over the row seven before it.
    OST_BLUR_INLINE void Load(int r) {
        Quad* out = Slot(r) + kPad;
        if (r < 0 || r >= m_height) {
            for (int x = 0; x < m_width; ++x) out[x] = Quad{0, 0, 0, 0};
            return;
        }
        const BYTE* row = m_src + r * m_stride;
        for (int x = 0; x < m_width; ++x) LoadQuad(row + x * 4, &out[x]);
    }

    // The rows y - 3 .. y + 3, loaded already; rows[dy][x + dx] holds image
    // column x + dx - kPad of row y + dy - kRadius.
    OST_BLUR_INLINE void Around(int y, const Quad* rows[kRows]) const {
        for (int dy = 0; dy < kRows; ++dy) rows[dy] = Slot(y + dy - kRadius);
    }

private:
    OST_BLUR_INLINE Quad* Slot(int r) const {
        return &m_ring[static_cast<SIZE_T>((r + kRadius) % kRows) * m_paddedWidth];
    }

    const BYTE* m_src;
    std::ptrdiff_t m_stride;
    int m_width;
    int m_height;
    SIZE_T m_paddedWidth;
    std::unique_ptr<Quad[]> m_ring;
};

// Four pixels at a time: the sums of image columns x .. x + 3 over padded
// rows, each in the same order as summed alone, and the four bytes of each
// pixel as one vector. Lanes past the image's width sum padding.
OST_BLUR_INLINE void SumBlock(const Quad* const rows[kRows], const double* weights, int x, Quad sums[kBlock]) {
    Quad acc0 = {}, acc1 = {}, acc2 = {}, acc3 = {};
    for (int dy = 0; dy < kRows; ++dy) {
        const Quad* base = rows[dy] + x;
        const double* w = weights + dy * kRows;
#pragma GCC unroll 7
        for (int dx = 0; dx < kRows; ++dx) {
            acc0 = base[dx] * w[dx] + acc0;
            acc1 = base[dx + 1] * w[dx] + acc1;
            acc2 = base[dx + 2] * w[dx] + acc2;
            acc3 = base[dx + 3] * w[dx] + acc3;
        }
    }
    sums[0] = acc0;
    sums[1] = acc1;
    sums[2] = acc2;
    sums[3] = acc3;
}

// Skipping pixels with no lit neighbour: a pixel whose 7 x 7 neighbours are
// all transparent black sums only +0.0 and is zero. Keeps, for the rows
// around the one being summed, each column's count of lit pixels and a
// running count of columns with any, so a span of columns is one
// subtraction.
class OstLitColumns {
public:
    OST_BLUR_INLINE OstLitColumns(const BYTE* src, std::ptrdiff_t stride, int width, int height)
        : m_src(src),
          m_stride(stride),
          m_width(width),
          m_height(height),
          m_inColumn(new (std::nothrow) int[static_cast<SIZE_T>(width)]()),
          m_columnsBefore(new (std::nothrow) int[static_cast<SIZE_T>(width) + 1]) {
        if (!ok()) return;
        for (int r = 0; r < kRadius && r < height; ++r) CountRow(r, 1);
    }

    OST_BLUR_INLINE bool ok() const { return m_inColumn && m_columnsBefore; }

    // Moves to row y from row y - 1 (or from the start, for row 0).
    OST_BLUR_INLINE void Enter(int y) {
        if (y + kRadius < m_height) CountRow(y + kRadius, 1);
        if (y - kRadius - 1 >= 0) CountRow(y - kRadius - 1, -1);
        m_columnsBefore[0] = 0;
        for (int x = 0; x < m_width; ++x) m_columnsBefore[x + 1] = m_columnsBefore[x] + (m_inColumn[x] > 0 ? 1 : 0);
    }

    // Whether any of the `count` pixels from column x of the row entered
    // has a lit neighbour.
    OST_BLUR_INLINE bool AnyNear(int x, int count) const {
        const int from = x - kRadius > 0 ? x - kRadius : 0;
        const int to = x + count + kRadius < m_width ? x + count + kRadius : m_width;
        return m_columnsBefore[to] != m_columnsBefore[from];
    }

private:
    OST_BLUR_INLINE void CountRow(int r, int step) {
        for (int x = 0; x < m_width; ++x) m_inColumn[x] += PixelAt(m_src, m_stride, x, r) != 0 ? step : 0;
    }

    const BYTE* m_src;
    std::ptrdiff_t m_stride;
    int m_width;
    int m_height;
    std::unique_ptr<int[]> m_inColumn;
    std::unique_ptr<int[]> m_columnsBefore;
};

// Reusing one result for uniform blocks: where the 7 x 10 pixels around four
// pixels are all one value, each of the four sums 49 equal terms in the same
// order, so their bytes are those of the last such block with that value,
// summed once. Only blocks whose neighbours all lie inside the image qualify.
class OstUniformBlocks {
public:
    OST_BLUR_INLINE OstUniformBlocks(const BYTE* src, std::ptrdiff_t stride, int width, int height)
        : m_src(src),
          m_stride(stride),
          m_width(width),
          m_height(height),
          m_sameUntil(new (std::nothrow) int[static_cast<SIZE_T>(width) * height]) {
        if (!ok()) return;
        // Per pixel, the first column to its right (or itself onward) whose
        // pixel differs from it.
        for (int y = 0; y < height; ++y) {
            int* until = &m_sameUntil[static_cast<SIZE_T>(y) * width];
            until[width - 1] = width;
            for (int x = width - 2; x >= 0; --x)
                until[x] = PixelAt(src, stride, x, y) == PixelAt(src, stride, x + 1, y) ? until[x + 1] : x + 1;
        }
    }

    OST_BLUR_INLINE bool ok() const { return m_sameUntil != nullptr; }

    // Whether the block of kBlock pixels from (x, y) has one value all
    // around it, and if so that value.
    OST_BLUR_INLINE bool IsUniform(int x, int y, std::uint32_t* value) const {
        if (x < kRadius || x + kBlock + kRadius > m_width || y < kRadius || y + kRadius >= m_height) return false;
        const std::uint32_t first = PixelAt(m_src, m_stride, x - kRadius, y - kRadius);
        for (int r = y - kRadius; r <= y + kRadius; ++r)
            if (PixelAt(m_src, m_stride, x - kRadius, r) != first ||
                m_sameUntil[static_cast<SIZE_T>(r) * m_width + x - kRadius] < x + kBlock + kRadius)
                return false;
        *value = first;
        return true;
    }

    // The bytes of a pixel whose neighbours all hold `value`; summed only
    // when the value differs from the last one asked for.
    OST_BLUR_INLINE const BYTE* BytesFor(std::uint32_t value, const double* weights) {
        if (!m_haveBytes || value != m_value) {
            Quad v;
            LoadQuad(reinterpret_cast<const BYTE*>(&value), &v);
            Quad acc = {};
            for (int k = 0; k < kRows * kRows; ++k) acc = v * weights[k] + acc;
            StoreBytes(acc, m_bytes);
            m_haveBytes = true;
            m_value = value;
        }
        return m_bytes;
    }

private:
    const BYTE* m_src;
    std::ptrdiff_t m_stride;
    int m_width;
    int m_height;
    std::unique_ptr<int[]> m_sameUntil;
    bool m_haveBytes = false;
    std::uint32_t m_value = 0;
    BYTE m_bytes[4] = {};
};

}  // namespace OstBlurSteps
