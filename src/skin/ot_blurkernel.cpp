// Built with -ffp-contract=off: every product and every sum below is rounded
// to double on its own, and the neighbours are summed in a fixed order, so the
// glow is the same byte for byte on every machine.
#include "skin/ot_blurkernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "platform/win32/kernel.h"

namespace {

constexpr int kRadius = 3;
constexpr int kVariance = 9;
// Rounded constants, on purpose: the weights must not move with the libm.
constexpr double kE = 2.7182818;
constexpr double kPi = 3.1415927;

}  // namespace

OstBlurKernel::OstBlurKernel() {
    // One quarter is computed, the rest mirrored, so the table is exactly
    // symmetric.
    for (int dy = -kRadius; dy <= 0; ++dy) {
        for (int dx = -kRadius; dx <= 0; ++dx) {
            double exponent = static_cast<double>(-(dy * dy + dx * dx)) / (2 * kVariance);
            m_dWeights[(dy + 3) * 7 + (dx + 3)] = std::pow(kE, exponent) / ((2 * kVariance) * kPi);
        }
    }
    for (int dy = 1; dy <= kRadius; ++dy)
        for (int dx = -kRadius; dx <= 0; ++dx) m_dWeights[(dy + 3) * 7 + (dx + 3)] = Weight(dx, -dy);
    for (int dy = -kRadius; dy <= kRadius; ++dy)
        for (int dx = 1; dx <= kRadius; ++dx) m_dWeights[(dy + 3) * 7 + (dx + 3)] = Weight(-dx, dy);
}

namespace {

// Four doubles: one pixel's four bytes, or what they sum to.
typedef double Quad __attribute__((vector_size(32)));
constexpr int kBlock = 4;      // pixels summed side by side
constexpr int kPad = kRadius;  // zero columns on each side of a row
constexpr int kRows = 2 * kRadius + 1;

// Adds `step` to each column's count of lit pixels (not transparent black)
// for one row.
void CountRow(const BYTE* row, int width, int step, int* litInColumn) {
    for (int x = 0; x < width; ++x) {
        std::uint32_t pixel;
        std::memcpy(&pixel, row + x * 4, 4);
        litInColumn[x] += pixel != 0 ? step : 0;
    }
}

}  // namespace

// Every output byte is the sum over the 7 x 7 neighbours, top row first and
// left to right, of value times weight, each product and each sum rounded to
// double on its own, then truncated. A neighbour outside the image or of
// value zero adds +0.0, which leaves a sum of non-negative terms exactly as
// it was; so the rows are padded with zeros and every pixel sums all 49 in
// the same order, four pixels at once and the four bytes of each as one
// vector, which gives the same bytes as summing each alone. Pixels with no
// lit neighbour are zero without any sum.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
// Wider vectors where the processor has them; the same sums in each. The
// choice is made by the loader before ThreadSanitizer is set up, which it
// does not survive.
#define OST_BLUR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define OST_BLUR_CLONES
#endif

OST_BLUR_CLONES void OstBlurKernel::Apply(Gdiplus::BitmapData* pData) const {
    if (!pData || !pData->Scan0) return;
    const int width = static_cast<int>(pData->Width);
    const int height = static_cast<int>(pData->Height);
    if (width <= 0 || height <= 0) return;
    const std::ptrdiff_t stride = pData->Stride;
    const BYTE* src = static_cast<const BYTE*>(pData->Scan0);
    const SIZE_T rowBytes = static_cast<SIZE_T>(width) * 4;
    const SIZE_T bytes = rowBytes * static_cast<SIZE_T>(height);

    // The rows around the one being summed, as doubles with zero padding:
    // each byte is converted once, not 49 times. Row r lives in slot
    // (r + kRadius) % kRows; rows outside the image stay zero.
    const SIZE_T paddedWidth = static_cast<SIZE_T>(width) + 2 * kPad + kBlock;
    std::unique_ptr<Quad[]> ring(new (std::nothrow) Quad[paddedWidth * kRows]());
    // Lit pixels per column in the rows around the one being summed, and a
    // running count of columns with any, so a span of columns is one
    // subtraction.
    std::unique_ptr<int[]> litInColumn(new (std::nothrow) int[static_cast<SIZE_T>(width)]());
    std::unique_ptr<int[]> litCount(new (std::nothrow) int[static_cast<SIZE_T>(width) + 1]);
    // Per pixel, the first column to its right (or itself onward) whose
    // pixel differs from it: where the 7 x 10 pixels around four pixels are
    // all one value, each of the four sums 49 equal terms in the same
    // order, so their bytes are those of the last such block with that
    // value, summed once.
    std::unique_ptr<int[]> sameUntil(new (std::nothrow) int[static_cast<SIZE_T>(width) * height]);
    if (!ring || !litInColumn || !litCount || !sameUntil) return;
    auto pixelAt = [&](int x, int y) {
        std::uint32_t pixel;
        std::memcpy(&pixel, src + y * stride + x * 4, 4);
        return pixel;
    };
    for (int y = 0; y < height; ++y) {
        int* until = &sameUntil[static_cast<SIZE_T>(y) * width];
        until[width - 1] = width;
        for (int x = width - 2; x >= 0; --x) until[x] = pixelAt(x, y) == pixelAt(x + 1, y) ? until[x + 1] : x + 1;
    }
    bool haveUniform = false;
    std::uint32_t uniformValue = 0;
    BYTE uniformBytes[4] = {};
    auto slot = [&](int r) { return &ring[static_cast<SIZE_T>((r + kRadius) % kRows) * paddedWidth]; };
    auto load = [&](int r) {
        Quad* out = slot(r) + kPad;
        if (r < 0 || r >= height) {
            for (int x = 0; x < width; ++x) out[x] = Quad{0, 0, 0, 0};
            return;
        }
        const BYTE* row = src + r * stride;
        for (int x = 0; x < width; ++x)
            out[x] = Quad{static_cast<double>(row[x * 4]), static_cast<double>(row[x * 4 + 1]),
                          static_cast<double>(row[x * 4 + 2]), static_cast<double>(row[x * 4 + 3])};
    };
    for (int r = -kRadius; r < kRadius; ++r) {
        load(r);
        if (r >= 0 && r < height) CountRow(src + r * stride, width, 1, litInColumn.get());
    }

    HLOCAL hScratch = LocalAlloc(LMEM_MOVEABLE, bytes);
    if (!hScratch) return;
    BYTE* scratch = static_cast<BYTE*>(LocalLock(hScratch));
    if (!scratch) {
        LocalFree(hScratch);
        return;
    }

    for (int y = 0; y < height; ++y) {
        load(y + kRadius);
        if (y + kRadius < height) CountRow(src + (y + kRadius) * stride, width, 1, litInColumn.get());
        if (y - kRadius - 1 >= 0) CountRow(src + (y - kRadius - 1) * stride, width, -1, litInColumn.get());
        litCount[0] = 0;
        for (int x = 0; x < width; ++x) litCount[x + 1] = litCount[x] + (litInColumn[x] > 0 ? 1 : 0);
        const Quad* rows[kRows];
        for (int dy = 0; dy < kRows; ++dy) rows[dy] = slot(y + dy - kRadius);
        BYTE* out = scratch + static_cast<SIZE_T>(y) * rowBytes;
        for (int x = 0; x < width; x += kBlock) {
            const int count = std::min(kBlock, width - x);
            // Columns x - 3 .. x + count + 2 of the image, clipped to it.
            const int litFrom = std::max(0, x - kRadius);
            const int litTo = std::min(width, x + count + kRadius);
            if (litCount[litTo] == litCount[litFrom]) {
                std::memset(out + x * 4, 0, static_cast<SIZE_T>(count) * 4);
                continue;
            }
            if (x >= kRadius && x + kBlock + kRadius <= width && y >= kRadius && y + kRadius < height) {
                const std::uint32_t value = pixelAt(x - kRadius, y - kRadius);
                bool uniform = true;
                for (int r = y - kRadius; r <= y + kRadius && uniform; ++r)
                    uniform = pixelAt(x - kRadius, r) == value &&
                              sameUntil[static_cast<SIZE_T>(r) * width + x - kRadius] >= x + kBlock + kRadius;
                if (uniform) {
                    if (!haveUniform || value != uniformValue) {
                        const BYTE* b = reinterpret_cast<const BYTE*>(&value);
                        const Quad v = {static_cast<double>(b[0]), static_cast<double>(b[1]), static_cast<double>(b[2]),
                                        static_cast<double>(b[3])};
                        Quad acc = {};
                        for (int k = 0; k < kRows * kRows; ++k) acc = v * m_dWeights[k] + acc;
                        for (int c = 0; c < 4; ++c) uniformBytes[c] = static_cast<BYTE>(static_cast<int>(acc[c]));
                        haveUniform = true;
                        uniformValue = value;
                    }
                    for (int k = 0; k < kBlock; ++k) std::memcpy(out + (x + k) * 4, uniformBytes, 4);
                    continue;
                }
            }
            // Padded column x + dx + kPad holds image column x + dx; lanes
            // past the image's width sum padding and are not stored.
            Quad acc0 = {}, acc1 = {}, acc2 = {}, acc3 = {};
            for (int dy = 0; dy < kRows; ++dy) {
                const Quad* base = rows[dy] + x;
                const double* weights = &m_dWeights[dy * kRows];
#pragma GCC unroll 7
                for (int dx = 0; dx < kRows; ++dx) {
                    const double w = weights[dx];
                    acc0 = base[dx] * w + acc0;
                    acc1 = base[dx + 1] * w + acc1;
                    acc2 = base[dx + 2] * w + acc2;
                    acc3 = base[dx + 3] * w + acc3;
                }
            }
            const Quad acc[kBlock] = {acc0, acc1, acc2, acc3};
            // Truncation toward zero; 146 at most, so the byte never wraps.
            for (int k = 0; k < count; ++k)
                for (int c = 0; c < 4; ++c) out[(x + k) * 4 + c] = static_cast<BYTE>(static_cast<int>(acc[k][c]));
        }
    }

    // Row by row, so a stride wider than the pixels never sees scratch bytes
    // land in its padding; for a packed lock this is one block copy.
    BYTE* dst = static_cast<BYTE*>(pData->Scan0);
    if (stride == static_cast<std::ptrdiff_t>(rowBytes)) {
        std::memcpy(dst, scratch, bytes);
    } else {
        for (int y = 0; y < height; ++y) std::memcpy(dst + y * stride, scratch + y * rowBytes, rowBytes);
    }

    LocalUnlock(hScratch);
    LocalFree(hScratch);
}
