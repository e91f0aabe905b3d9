// A window DC from GetDC: what is drawn through it reaches the display when
// it is released; a DC only taken to make compatible ones presents nothing.
#include <gtest/gtest.h>

#include "message_recorder.h"
#include "platform/win32/gdi.h"

namespace {

TEST(WindowDc, ReleasePresentsOnlyWhatWasDrawnThroughIt) {
    headless::HeadlessBackend display;
    RecordingWindow window;
    HWND hwnd = window.hwnd();
    auto presents = [&] { return display.window(hwnd)->presented.size(); };
    size_t before = presents();

    HDC dc = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(dc);
    ReleaseDC(hwnd, dc);
    DeleteDC(memory);
    EXPECT_EQ(presents(), before) << "a DC used only for CreateCompatibleDC";

    dc = GetDC(hwnd);
    RECT r{0, 0, 4, 4};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(presents(), before + 1);
    EXPECT_EQ(display.pixel(hwnd, 1, 1) & 0xFFFFFF, 0xFFFFFFu);
}

}  // namespace
