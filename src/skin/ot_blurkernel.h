// The 7 x 7 Gaussian kernel behind every glow of the skin, and its in-place
// convolution of a locked 32-bit ARGB bitmap.
#pragma once

#include "platform/win32/gdiplus.h"
#include "platform/win32/types.h"

class OstBlurKernel {
public:
    // Computes the weights; they do not change afterwards.
    OstBlurKernel();

    // Blurs the locked pixels in place. The lock must cover the whole bitmap
    // in PixelFormat32bppARGB (4 bytes a pixel). All four bytes are blurred
    // alike, alpha as a straight value. Skipped border neighbours darken the
    // rim; the sum is not rescaled. Leaves the pixels alone when the scratch
    // buffer cannot be had.
    void Apply(Gdiplus::BitmapData* pData) const;

    // Weight of the neighbour at (dx, dy), each from -3 to 3.
    double Weight(int dx, int dy) const { return m_dWeights[(dy + 3) * 7 + (dx + 3)]; }

private:
    double m_dWeights[49];  // row by row: index (dy + 3) * 7 + (dx + 3)
};
