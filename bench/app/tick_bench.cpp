// One progress tick of the real program on the X server in DISPLAY (run it
// under Xvfb): the timer's invalidation and post, the message loop taking
// them, the paint and the present, then a round trip so the server's share
// of the work is in the time. Beside it the same tick without the round trip
// (the program's own CPU) and the round trip alone.
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "platform/audio/audio.h"
#include "platform/win32/internal/backend.h"
#include "platform/x11/x11_internal.h"

namespace {

struct Program {
    Program() {
        display = XOpenDisplay(nullptr);
        if (!display) return;
        backend = new x11::X11Backend(display);
        win32::installBackend(backend);
        ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT);
        app = new OstApplication();
        if (!app->Initialize()) return;
        hwnd = app->GetMainWindow()->GetHwnd();
        Drain();
        XSync(display, False);
    }
    ~Program() {
        delete app;
        win32::installBackend(nullptr);
        delete backend;  // closes the display
    }
    // Everything the loop has waiting, as GetMessageW would hand it over.
    void Drain() {
        MSG msg;
        while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        backend->flush();
    }
    Display* display = nullptr;
    x11::X11Backend* backend = nullptr;
    OstApplication* app = nullptr;
    HWND hwnd = nullptr;
};

Program* program() {
    static Program* shared = new Program();  // one window for every run
    return shared->hwnd ? shared : nullptr;
}

void Tick(benchmark::State& state) {
    Program* p = program();
    if (!p) {
        state.SkipWithError("no X display");
        return;
    }
    const bool roundTrip = state.range(0) != 0;
    for (auto _ : state) {
        OstApplication::ProgressTimerProc(p->hwnd, TRUE);
        p->Drain();
        if (roundTrip) XSync(p->display, False);
    }
}
BENCHMARK(Tick)->ArgName("round_trip")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void RoundTripAlone(benchmark::State& state) {
    Program* p = program();
    if (!p) {
        state.SkipWithError("no X display");
        return;
    }
    for (auto _ : state) XSync(p->display, False);
}
BENCHMARK(RoundTripAlone)->Unit(benchmark::kMicrosecond);

}  // namespace
