// One paint of the main window, and one of the menu window, each next to a
// plain copy of its pixels; the window paints also at display scales 1.5
// and 2 (the argument is the scale in percent).
#include <benchmark/benchmark.h>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "controls/ot_widget.h"
#include "menus/ot_menu.h"
#include "menus/ot_menumanager.h"
#include "platform/audio/audio.h"
#include "platform/headless/headless_backend.h"

namespace {

struct Program {
    explicit Program(std::int64_t scalePercent = 100) {
        ostaudio::setOutputOverride(ostaudio::OUTPUTTYPE_NOSOUND_NRT);
        display.setScale(static_cast<double>(scalePercent) / 100);
        app.Initialize();
        hwnd = app.GetMainWindow()->GetHwnd();
    }
    headless::HeadlessBackend display;
    OstApplication app;
    HWND hwnd = nullptr;
};

// The program's start on the display: the skin built, the window made and
// first painted.
void ProgramStart(benchmark::State& state) {
    for (auto _ : state) {
        Program program(state.range(0));
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}
BENCHMARK(ProgramStart)->ArgName("scale_pct")->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

void MainWindowPaint(benchmark::State& state) {
    Program program(state.range(0));
    HDC dc = GetDC(program.hwnd);
    for (auto _ : state) program.app.GetMainWindow()->Paint(dc);
    ReleaseDC(program.hwnd, dc);
}
BENCHMARK(MainWindowPaint)->ArgName("scale_pct")->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

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

// The volume menu's own paint into a 180 x 81 off-screen bitmap: its frame
// copied from the cache and the first item's highlight.
void VolumeMenuPaint(benchmark::State& state) {
    Program program;
    OstVolumeMenu menu(program.hwnd, program.app.GetSkin());
    HDC dc = GetDC(program.hwnd);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 180, 81);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    for (auto _ : state) menu.Paint(memory, static_cast<int>(state.range(0)));
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(program.hwnd, dc);
}
BENCHMARK(VolumeMenuPaint)->Arg(-1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The whole WM_PAINT of the shown menu window, the first item hot: its
// off-screen bitmap, the menu's paint, the copy to the window and the
// present.
void MenuWindowPaint(benchmark::State& state) {
    Program program(state.range(0));
    OstVolumeMenu menu(program.hwnd, program.app.GetSkin());
    OstMenuManager* manager = program.app.GetMainWindow()->GetMenuManager();
    HWND window = manager->GetMenuWindow();
    manager->SetCurrentMenu(&menu);
    manager->ShowMenu(500, 300);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(90, 30));
    if (!IsWindowVisible(window)) state.SkipWithError("the menu did not show");
    for (auto _ : state) {
        InvalidateRect(window, NULL, FALSE);
        SendMessageW(window, WM_PAINT, 0, 0);
    }
}
BENCHMARK(MenuWindowPaint)->ArgName("scale_pct")->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

// The floor: copying a 180 x 81 bitmap once.
void PlainCopyOfTheMenuWindow(benchmark::State& state) {
    Program program;
    HDC dc = GetDC(program.hwnd);
    HDC source = CreateCompatibleDC(dc);
    HDC target = CreateCompatibleDC(dc);
    HBITMAP from = CreateCompatibleBitmap(dc, 180, 81);
    HBITMAP to = CreateCompatibleBitmap(dc, 180, 81);
    HGDIOBJ previousSource = SelectObject(source, from);
    HGDIOBJ previousTarget = SelectObject(target, to);
    for (auto _ : state) BitBlt(target, 0, 0, 180, 81, source, 0, 0, SRCCOPY);
    SelectObject(source, previousSource);
    SelectObject(target, previousTarget);
    DeleteObject(from);
    DeleteObject(to);
    DeleteDC(source);
    DeleteDC(target);
    ReleaseDC(program.hwnd, dc);
}
BENCHMARK(PlainCopyOfTheMenuWindow)->Unit(benchmark::kMicrosecond);

}  // namespace
