// Built with -ffp-contract=off: every product and every sum below is rounded
// to double on its own, and the neighbours are summed in a fixed order, so the
// glow is the same byte for byte on every machine.
#include "skin/ot_blurkernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win32/kernel.h"
#include "skin/ot_blursteps.h"

using OstBlurSteps::kRadius;

namespace {

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

// Every pixel sums all 49 neighbours in the same order as the direct sum
// (see ot_blursteps.h), four pixels at once over zero-padded rows; pixels
// with no lit neighbour are zero without any sum, and blocks inside one
// uniform area reuse the last such result.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
// Wider vectors where the processor has them; the same sums in each. The
// choice is made by the loader before ThreadSanitizer is set up, which it
// does not survive.
#define OST_BLUR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define OST_BLUR_CLONES
#endif

OST_BLUR_CLONES void OstBlurKernel::Apply(Gdiplus::BitmapData* pData) const {
    using namespace OstBlurSteps;
    if (!pData || !pData->Scan0) return;
    const int width = static_cast<int>(pData->Width);
    const int height = static_cast<int>(pData->Height);
    if (width <= 0 || height <= 0) return;
    const std::ptrdiff_t stride = pData->Stride;
    const BYTE* src = static_cast<const BYTE*>(pData->Scan0);
    const SIZE_T rowBytes = static_cast<SIZE_T>(width) * 4;
    const SIZE_T bytes = rowBytes * static_cast<SIZE_T>(height);

    OstPaddedRows rows(src, stride, width, height);
    OstLitColumns lit(src, stride, width, height);
    OstUniformBlocks uniform(src, stride, width, height);
    if (!rows.ok() || !lit.ok() || !uniform.ok()) return;
    for (int r = -kRadius; r < kRadius; ++r) rows.Load(r);

    HLOCAL hScratch = LocalAlloc(LMEM_MOVEABLE, bytes);
    if (!hScratch) return;
    BYTE* scratch = static_cast<BYTE*>(LocalLock(hScratch));
    if (!scratch) {
        LocalFree(hScratch);
        return;
    }

    for (int y = 0; y < height; ++y) {
        rows.Load(y + kRadius);
        lit.Enter(y);
        const Quad* around[kRows];
        rows.Around(y, around);
        BYTE* out = scratch + static_cast<SIZE_T>(y) * rowBytes;
        for (int x = 0; x < width; x += kBlock) {
            const int count = std::min(kBlock, width - x);
            std::uint32_t value;
            if (!lit.AnyNear(x, count)) {
                std::memset(out + x * 4, 0, static_cast<SIZE_T>(count) * 4);
            } else if (uniform.IsUniform(x, y, &value)) {
                const BYTE* same = uniform.BytesFor(value, m_dWeights);
                for (int k = 0; k < kBlock; ++k) std::memcpy(out + (x + k) * 4, same, 4);
            } else {
                Quad sums[kBlock];
                SumBlock(around, m_dWeights, x, sums);
                for (int k = 0; k < count; ++k) StoreBytes(sums[k], out + (x + k) * 4);
            }
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
