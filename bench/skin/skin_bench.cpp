// The skin's start-up cost: the whole Build, and the glow blur on every
// intermediate size it runs on.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/win32/gdiplus.h"
#include "skin/ot_blurkernel.h"
#include "skin/ot_skin.h"

namespace {

constexpr std::uint32_t kGlow = 0xFFCCFF99;
constexpr std::uint32_t kTransparentWhite = 0x00FFFFFF;

// An intermediate as the painters leave it before the blur: a glow-filled
// box on a background, with the shape's margins as in the skin.
std::vector<std::uint32_t> Intermediate(int w, int h, int margin, std::uint32_t background) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h, background);
    for (int y = margin; y < h - margin; ++y)
        for (int x = margin; x < w - margin; ++x) pixels[static_cast<size_t>(y) * w + x] = kGlow;
    return pixels;
}

void BlurOnce(benchmark::State& state, const std::vector<std::uint32_t>& source, int w, int h) {
    OstBlurKernel kernel;
    std::vector<std::uint32_t> pixels;
    for (auto _ : state) {
        pixels = source;
        Gdiplus::BitmapData data;
        data.Width = w;
        data.Height = h;
        data.Stride = w * 4;
        data.PixelFormat = PixelFormat32bppARGB;
        data.Scan0 = pixels.data();
        kernel.Apply(&data);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * w * h);
}

// The panel: transparent white around the bar, so no neighbour is zero.
void BM_BlurPanel(benchmark::State& state) { BlurOnce(state, Intermediate(520, 50, 10, kTransparentWhite), 520, 50); }
// A 55 x 30 glyph: a small shape on transparent black.
void BM_BlurGlyph(benchmark::State& state) { BlurOnce(state, Intermediate(55, 30, 8, 0), 55, 30); }
void BM_BlurBubble(benchmark::State& state) { BlurOnce(state, Intermediate(235, 80, 5, 0), 235, 80); }
void BM_BlurMenuFrame(benchmark::State& state) { BlurOnce(state, Intermediate(180, 25, 5, 0), 180, 25); }
// Worst case at the glyph size: nothing to skip.
void BM_BlurGlyphDense(benchmark::State& state) { BlurOnce(state, Intermediate(55, 30, 0, 0), 55, 30); }

BENCHMARK(BM_BlurPanel);
BENCHMARK(BM_BlurGlyph);
BENCHMARK(BM_BlurGlyphDense);
BENCHMARK(BM_BlurBubble);
BENCHMARK(BM_BlurMenuFrame);

void BM_SkinBuild(benchmark::State& state) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    for (auto _ : state) {
        OstSkin skin;
        skin.Build(NULL);
        benchmark::DoNotOptimize(skin.m_bmMenuTop);
    }
    Gdiplus::GdiplusShutdown(token);
}
BENCHMARK(BM_SkinBuild)->Unit(benchmark::kMillisecond);

}  // namespace
