// One paint of the main window, next to a plain copy of its pixels.
#include <benchmark/benchmark.h>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "controls/ot_widget.h"
#include "platform/audio/audio.h"
#include "platform/headless/headless_backend.h"

namespace {

struct Program {
    Program() {
        ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT);
        app.Initialize();
        hwnd = app.GetMainWindow()->GetHwnd();
    }
    headless::HeadlessBackend display;
    OstApplication app;
    HWND hwnd = nullptr;
};

void MainWindowPaint(benchmark::State& state) {
    Program program;
    HDC dc = GetDC(program.hwnd);
    for (auto _ : state) program.app.GetMainWindow()->Paint(dc);
    ReleaseDC(program.hwnd, dc);
}
BENCHMARK(MainWindowPaint)->Unit(benchmark::kMicrosecond);

// The busiest paint the controls make: the play/pause glyph, previous
// pressed and next hovered.
void MainWindowPaintWithBothHighlights(benchmark::State& state) {
    Program program;
    OstWidget* widget = program.app.GetMainWindow()->GetWidget();
    widget->OnLButtonDown(program.hwnd, Gdiplus::Point(157, 115));
    widget->OnMouseMove(program.hwnd, Gdiplus::Point(322, 115));
    if (widget->GetPressed() == -1 || widget->GetHover() == -1) state.SkipWithError("no highlights");
    HDC dc = GetDC(program.hwnd);
    for (auto _ : state) program.app.GetMainWindow()->Paint(dc);
    ReleaseDC(program.hwnd, dc);
}
BENCHMARK(MainWindowPaintWithBothHighlights)->Unit(benchmark::kMicrosecond);

// The floor: copying a 540 x 200 bitmap to the window once.
void PlainCopyOfTheWindow(benchmark::State& state) {
    Program program;
    HDC dc = GetDC(program.hwnd);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 540, 200);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    for (auto _ : state) BitBlt(dc, 0, 0, 540, 200, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(program.hwnd, dc);
}
BENCHMARK(PlainCopyOfTheWindow)->Unit(benchmark::kMicrosecond);

}  // namespace
