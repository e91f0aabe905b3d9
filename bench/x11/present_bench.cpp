// One present of a colour-keyed 540 x 200 window on the X server in DISPLAY
// (run it under Xvfb), on the 24-bit visual and on the 32-bit one whose
// pixels carry the key as alpha, each waited for with a round trip; and the
// copy into the stored pixels on its own, plain and with the key as alpha.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/x11/shape_mask.h"
#include "platform/x11/x11_internal.h"

namespace {

constexpr int kWidth = 540;
constexpr int kHeight = 200;

// The main window's make-up: keyed black around a 500 x 30 strip of glass
// with a line of glyph colour through it.
std::vector<std::uint32_t> windowPixels() {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight, 0xFF000000);
    for (int y = 100; y < 130; ++y)
        for (int x = 20; x < 520; ++x) pixels[static_cast<size_t>(y) * kWidth + x] = 0xFFD2D2D2;
    for (int x = 150; x < 400; ++x) pixels[static_cast<size_t>(115) * kWidth + x] = 0xFF8CC8FA;
    return pixels;
}

// One connection for every run: the harness calls a benchmark many times.
x11::X11Backend* backend() {
    static std::unique_ptr<x11::X11Backend> shared = [] {
        Display* display = XOpenDisplay(nullptr);
        return display ? std::make_unique<x11::X11Backend>(display) : nullptr;
    }();
    return shared.get();
}

void Present(benchmark::State& state) {
    x11::X11Backend* backend = ::backend();
    if (!backend) {
        state.SkipWithError("no X display");
        return;
    }
    win32::NativeWindowDesc desc;
    desc.title = "present_bench";
    desc.width = kWidth;
    desc.height = kHeight;
    desc.placed = true;
    desc.x = 100;
    desc.y = 100;
    desc.layered = state.range(0) != 0;
    win32::NativeWindow window = backend->createWindow(desc);
    backend->setColorKey(window, true, 0);
    backend->setVisible(window, true);
    std::vector<std::uint32_t> pixels = windowPixels();
    const win32::PixelView view{pixels.data(), kWidth, kHeight, kWidth * 4};
    const RECT whole{0, 0, kWidth, kHeight};
    const RECT strip{20, 100, 520, 130};
    const RECT& area = state.range(1) ? strip : whole;
    // A round trip after each: the server's work is part of the cost.
    POINT pointer;
    backend->present(window, view, whole);
    backend->cursorPosition(&pointer);
    for (auto _ : state) {
        backend->present(window, view, area);
        backend->cursorPosition(&pointer);
    }
    backend->destroyWindow(window);
}
// Args: 32-bit visual, strip only.
BENCHMARK(Present)
    ->ArgNames({"argb", "strip"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

void StoreWindow(benchmark::State& state) {
    const std::vector<std::uint32_t> pixels = windowPixels();
    std::vector<std::uint32_t> stored(pixels.size());
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y) {
            const std::uint32_t* from = &pixels[static_cast<size_t>(y) * kWidth];
            std::uint32_t* to = &stored[static_cast<size_t>(y) * kWidth];
            if (state.range(0))
                x11::keyToAlpha(from, to, kWidth, true, 0);
            else
                std::memcpy(to, from, kWidth * 4);
        }
        benchmark::DoNotOptimize(stored.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(StoreWindow)->ArgName("argb")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
