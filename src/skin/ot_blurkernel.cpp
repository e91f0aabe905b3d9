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

void OstBlurKernel::Apply(Gdiplus::BitmapData* pData) const {
    if (!pData || !pData->Scan0) return;
    const int width = static_cast<int>(pData->Width);
    const int height = static_cast<int>(pData->Height);
    if (width <= 0 || height <= 0) return;
    const std::ptrdiff_t stride = pData->Stride;
    const BYTE* src = static_cast<const BYTE*>(pData->Scan0);
    const SIZE_T rowBytes = static_cast<SIZE_T>(width) * 4;
    const SIZE_T bytes = rowBytes * static_cast<SIZE_T>(height);

    // Every byte is converted to double once here rather than 49 times in
    // the sum; the values, and so the bytes that come out, are the same.
    std::unique_ptr<double[]> values(new (std::nothrow) double[bytes]);
    if (!values) return;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = src + y * stride;
        double* out = &values[y * rowBytes];
        for (SIZE_T i = 0; i < rowBytes; ++i) out[i] = row[i];
    }

    HLOCAL hScratch = LocalAlloc(LMEM_MOVEABLE, bytes);
    if (!hScratch) return;
    BYTE* scratch = static_cast<BYTE*>(LocalLock(hScratch));
    if (!scratch) {
        LocalFree(hScratch);
        return;
    }

    for (int y = 0; y < height; ++y) {
        // Kernel rows and columns that fall outside the image are skipped;
        // the rest are summed in order, top row first, left to right.
        const int dyFirst = std::max(-kRadius, -y);
        const int dyLast = std::min(kRadius, height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const int dxFirst = std::max(-kRadius, -x);
            const int dxLast = std::min(kRadius, width - 1 - x);
            double acc0 = 0.0, acc1 = 0.0, acc2 = 0.0, acc3 = 0.0;
            for (int dy = dyFirst; dy <= dyLast; ++dy) {
                const BYTE* row = src + (y + dy) * stride + x * 4;
                const double* rowValues = &values[(y + dy) * rowBytes + x * 4];
                const double* weights = &m_dWeights[(dy + 3) * 7 + 3];
                for (int dx = dxFirst; dx <= dxLast; ++dx) {
                    // A zero byte adds +0.0, which leaves the sum as it is:
                    // skipping a transparent-black neighbour gives the same bytes.
                    std::uint32_t pixel;
                    std::memcpy(&pixel, row + dx * 4, 4);
                    if (pixel == 0) continue;
                    const double* p = rowValues + dx * 4;
                    const double w = weights[dx];
                    acc0 = p[0] * w + acc0;
                    acc1 = p[1] * w + acc1;
                    acc2 = p[2] * w + acc2;
                    acc3 = p[3] * w + acc3;
                }
            }
            // Truncation toward zero; 146 at most, so the byte never wraps.
            BYTE* out = scratch + (static_cast<SIZE_T>(y) * width + x) * 4;
            out[0] = static_cast<BYTE>(static_cast<int>(acc0));
            out[1] = static_cast<BYTE>(static_cast<int>(acc1));
            out[2] = static_cast<BYTE>(static_cast<int>(acc2));
            out[3] = static_cast<BYTE>(static_cast<int>(acc3));
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
