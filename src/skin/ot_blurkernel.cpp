// Built with -ffp-contract=off: every product and every sum below is rounded
// to double on its own, and the neighbours are summed in a fixed order, so the
// glow is the same byte for byte on every machine.
#include "skin/ot_blurkernel.h"

#include <cmath>
#include <cstring>

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

void OstBlurKernel::Apply(Gdiplus::BitmapData* pData) const {
    if (!pData || !pData->Scan0) return;
    const int width = static_cast<int>(pData->Width);
    const int height = static_cast<int>(pData->Height);
    if (width <= 0 || height <= 0) return;
    const std::ptrdiff_t stride = pData->Stride;
    const BYTE* src = static_cast<const BYTE*>(pData->Scan0);
    const SIZE_T rowBytes = static_cast<SIZE_T>(width) * 4;
    const SIZE_T bytes = rowBytes * static_cast<SIZE_T>(height);

    HLOCAL hScratch = LocalAlloc(LMEM_MOVEABLE, bytes);
    if (!hScratch) return;
    BYTE* scratch = static_cast<BYTE*>(LocalLock(hScratch));
    if (!scratch) {
        LocalFree(hScratch);
        return;
    }

    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double acc[4] = {0.0, 0.0, 0.0, 0.0};
            for (int dy = -kRadius; dy <= kRadius; ++dy) {
                if (y + dy < 0 || y + dy >= height) continue;
                const BYTE* row = src + (y + dy) * stride;
                const double* weights = &m_dWeights[(dy + 3) * 7];
                for (int dx = -kRadius; dx <= kRadius; ++dx) {
                    if (x + dx < 0 || x + dx >= width) continue;
                    const BYTE* p = row + (x + dx) * 4;
                    // A zero byte adds +0.0, which leaves the sum as it is:
                    // skipping a transparent-black neighbour gives the same bytes.
                    std::uint32_t pixel;
                    std::memcpy(&pixel, p, 4);
                    if (pixel == 0) continue;
                    const double w = weights[dx + 3];
                    for (int k = 0; k < 4; ++k) acc[k] = p[k] * w + acc[k];
                }
            }
            BYTE* out = scratch + (static_cast<SIZE_T>(y) * width + x) * 4;
            for (int k = 0; k < 4; ++k) out[k] = static_cast<BYTE>(static_cast<int>(acc[k]));
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
