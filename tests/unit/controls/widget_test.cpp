// The container's state machine as one table, the button base's hit test and
// painting, and the highlight pixels, on the headless display with buttons
// that record what the container asks of them.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "controls/ot_button.h"
#include "controls/ot_widget.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "skin/ot_skin.h"
#include "support/memory_surface.h"

namespace {

using Log = std::vector<std::string>;
using Rects = std::vector<std::array<LONG, 4>>;

// Stands in for a real button at its real place: records each call by name.
class RecordingButton : public OstButton {
public:
    RecordingButton(const char* name, int kind, Gdiplus::Rect rc, int clickResult, Log* log)
        : OstButton(kind, rc, kind != kPlay), m_name(name), m_click(clickResult), m_log(log) {}
    int OnRelease(HWND) override { return note("release"), 0; }
    int OnClick(HWND) override { return note("click"), m_click; }
    int OnMouseEnter(HWND) override { return note("enter"), 0; }
    int OnMouseLeave(HWND) override { return note("leave"), 0; }

private:
    void note(const char* what) { m_log->push_back(m_name + "." + what); }
    std::string m_name;
    int m_click;
    Log* m_log;
};

// Indices in the order the main window adds them.
enum { kClose, kMin, kPlay, kStop, kPrev, kNext };

struct Event {
    enum Kind { Move, Press, NcPress, MenuClosed } kind;
    int x = 0, y = 0;
};
Event move(int x, int y) { return {Event::Move, x, y}; }
Event press(int x, int y) { return {Event::Press, x, y}; }
const Event kNcPress{Event::NcPress};
const Event kMenuClosed{Event::MenuClosed};

// Points well inside each button, and off every one.
const Event kOnPrev = move(157, 115), kOnStop = move(212, 115), kOnPlay = move(267, 115), kOnNext = move(322, 115),
            kOnClose = move(508, 108), kOffRow = move(270, 50);
Event pressAt(const Event& at) { return press(at.x, at.y); }

struct Container : ::testing::Test {
    Container() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpszClassName = L"ControlsTest";
        wc.lpfnWndProc = DefWindowProcW;
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, L"ControlsTest", L"", WS_VISIBLE, 0, 0, 540, 200, nullptr, nullptr, nullptr, nullptr);
    }
    ~Container() override { DestroyWindow(hwnd); }

    // A container holding the six buttons as the main window lays them out.
    OstWidget* Fill(OstWidget* widget) {
        widget->Add(new RecordingButton("close", OstButton::kClose, {505, 105, 7, 7}, 0, &log));
        widget->Add(new RecordingButton("min", OstButton::kMinimize, {493, 105, 7, 7}, 0, &log));
        widget->Add(new RecordingButton("play", OstButton::kPlay, {240, 100, 55, 30}, 0, &log));
        widget->Add(new RecordingButton("stop", OstButton::kStop, {185, 100, 55, 30}, 0, &log));
        widget->Add(new RecordingButton("prev", OstButton::kPrev, {130, 100, 55, 30}, 1, &log));
        widget->Add(new RecordingButton("next", OstButton::kNext, {295, 100, 55, 30}, 1, &log));
        return widget;
    }

    // What the main window procedure does with each message.
    void Deliver(OstWidget& widget, const Event& e) {
        switch (e.kind) {
        case Event::Move: widget.OnMouseMove(hwnd, Gdiplus::Point(e.x, e.y)); break;
        case Event::Press: widget.OnLButtonDown(hwnd, Gdiplus::Point(e.x, e.y)); break;
        case Event::NcPress:
            widget.ClearPressed(hwnd);
            widget.ClearHover(hwnd);
            break;
        case Event::MenuClosed: widget.OnMenuClosed(hwnd); break;
        }
    }

    Rects Invalidated() {
        Rects out;
        for (const auto& r : win32::invalidations()) {
            EXPECT_EQ(r.hwnd, hwnd);
            EXPECT_FALSE(r.whole);
            out.push_back({r.rect.left, r.rect.top, r.rect.right, r.rect.bottom});
        }
        return out;
    }

    headless::HeadlessBackend display;
    HWND hwnd = nullptr;
    Log log;
};

constexpr std::array<LONG, 4> kPrevRect{130, 100, 185, 130}, kPrevWide{130, 100, 186, 130},
    kStopRect{185, 100, 240, 130}, kStopWide{185, 100, 241, 130}, kPlayRect{240, 100, 295, 130},
    kNextRect{295, 100, 350, 130}, kNextWide{295, 100, 351, 130}, kCloseRect{505, 105, 512, 112};

TEST_F(Container, TransitionTable) {
    struct Row {
        const char* name;
        std::vector<Event> setup;
        int pressedBefore, hoverBefore;
        Event event;
        Log calls;
        Rects invalidated;
        int pressedAfter, hoverAfter;
    } rows[] = {
        {"enter a button", {}, -1, -1, kOnPrev, {"prev.enter"}, {kPrevRect}, -1, kPrev},
        {"move within it", {kOnPrev}, -1, kPrev, move(180, 128), {}, {}, -1, kPrev},
        {"top-left corner is inside", {}, -1, -1, move(130, 100), {"prev.enter"}, {kPrevRect}, -1, kPrev},
        {"bottom edge is outside", {}, -1, -1, move(157, 130), {}, {}, -1, -1},
        {"right edge is the next button",
         {kOnPrev},
         -1,
         kPrev,
         move(185, 115),
         {"prev.leave", "stop.enter"},
         {kPrevWide, kStopRect},
         -1,
         kStop},
        {"right edge of close is outside", {}, -1, -1, move(512, 108), {}, {}, -1, -1},
        {"straight from play to stop",
         {kOnPlay},
         -1,
         kPlay,
         kOnStop,
         {"play.leave", "stop.enter"},
         {{240, 100, 296, 130}, kStopRect},
         -1,
         kStop},
        {"off every button", {kOnStop}, -1, kStop, kOffRow, {"stop.leave"}, {kStopWide}, -1, -1},
        {"off every button, nothing hovered", {}, -1, -1, kOffRow, {}, {}, -1, -1},
        {"press the hovered button", {kOnPrev}, -1, kPrev, pressAt(kOnPrev), {"prev.click"}, {kPrevRect}, kPrev, kPrev},
        {"press the pressed button", {kOnPrev, pressAt(kOnPrev)}, kPrev, kPrev, pressAt(kOnPrev), {}, {}, kPrev, kPrev},
        {"press without a hover", {}, -1, -1, pressAt(kOnPlay), {"play.click"}, {kPlayRect}, -1, -1},
        {"close never stays pressed",
         {kOnClose},
         -1,
         kClose,
         pressAt(kOnClose),
         {"close.click"},
         {kCloseRect},
         -1,
         kClose},
        {"onto the pressed button from another",
         {kOnPrev, pressAt(kOnPrev), kOnNext},
         kPrev,
         kNext,
         kOnPrev,
         {"next.leave"},
         {kNextWide},
         kPrev,
         -1},
        {"onto the pressed button, nothing hovered",
         {kOnPrev, pressAt(kOnPrev), kOffRow},
         kPrev,
         -1,
         kOnPrev,
         {},
         {},
         kPrev,
         -1},
        {"next after previous",
         {kOnPrev, pressAt(kOnPrev), kOnNext},
         kPrev,
         kNext,
         pressAt(kOnNext),
         {"prev.release", "next.click"},
         {kPrevRect, kNextRect},
         kNext,
         kNext},
        {"play while previous is pressed",
         {kOnPrev, pressAt(kOnPrev), kOnPlay},
         kPrev,
         kPlay,
         pressAt(kOnPlay),
         {"prev.release", "play.click"},
         {kPrevRect, kPlayRect},
         -1,
         kPlay},
        {"press outside every button", {kOnPrev, pressAt(kOnPrev)}, kPrev, kPrev, press(270, 50), {}, {}, kPrev, kPrev},
        {"press in a gap of the row", {kOnPrev, pressAt(kOnPrev)}, kPrev, kPrev, press(450, 115), {}, {}, kPrev, kPrev},
        {"caption press clears both",
         {kOnPrev, pressAt(kOnPrev), kOnNext},
         kPrev,
         kNext,
         kNcPress,
         {"prev.release", "next.leave"},
         {kPrevRect, kNextWide},
         -1,
         -1},
        {"caption press, pressed and hovered alike",
         {kOnNext, pressAt(kOnNext)},
         kNext,
         kNext,
         kNcPress,
         {"next.release", "next.leave"},
         {kNextRect, kNextWide},
         -1,
         -1},
        {"caption press with nothing", {}, -1, -1, kNcPress, {}, {}, -1, -1},
        {"menu closed ends the hover, exact rectangle",
         {kOnStop},
         -1,
         kStop,
         kMenuClosed,
         {"stop.leave"},
         {kStopRect},
         -1,
         -1},
        {"menu closed with nothing hovered",
         {kOnPrev, pressAt(kOnPrev), kOffRow},
         kPrev,
         -1,
         kMenuClosed,
         {},
         {},
         kPrev,
         -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OstWidget widget;
        Fill(&widget);
        for (const Event& e : row.setup) Deliver(widget, e);
        ASSERT_EQ(widget.GetPressed(), row.pressedBefore);
        ASSERT_EQ(widget.GetHover(), row.hoverBefore);
        log.clear();
        win32::logInvalidations(true);
        Deliver(widget, row.event);
        EXPECT_EQ(log, row.calls);
        EXPECT_EQ(Invalidated(), row.invalidated);
        EXPECT_EQ(widget.GetPressed(), row.pressedAfter);
        EXPECT_EQ(widget.GetHover(), row.hoverAfter);
        win32::logInvalidations(false);
    }
}

TEST_F(Container, ASixtyFifthButtonIsRefusedWithAnAssertion) {
    OstWidget widget;
    for (int i = 0; i < 64; ++i) widget.Add(new RecordingButton("b", 9, {i, 0, 1, 1}, 1, &log));
    EXPECT_TRUE(win32::assertionReports().empty());
    widget.Add(new RecordingButton("extra", 9, {100, 0, 1, 1}, 1, &log));
    ASSERT_EQ(win32::assertionReports().size(), 1u);
    EXPECT_NE(win32::assertionReports()[0].find("ot_widget"), std::string::npos);
    EXPECT_FALSE(widget.IsOverButton(100, 0));
    widget.OnLButtonDown(hwnd, Gdiplus::Point(100, 0));
    EXPECT_TRUE(log.empty());
}

// Pixels of the glyphs and highlights, drawn into a memory surface.
struct Painting : Container {
    Painting() { skin.Build(nullptr); }
    OstSkin skin;
};

std::uint32_t Channel(std::uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }

// The glyph colour at `alpha`, premultiplied, over an opaque pixel.
std::uint32_t Over(std::uint32_t below, int alpha) {
    const int colour[4] = {255, 204, 153, 255};  // blue, green, red, (alpha channel: 255)
    std::uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        int src = c == 3 ? alpha : colour[c] * alpha / 255;
        int v = src + static_cast<int>(Channel(below, 8 * c)) * (255 - alpha) / 255;
        out |= static_cast<std::uint32_t>(v) << (8 * c);
    }
    return out;
}

::testing::AssertionResult Near(std::uint32_t got, std::uint32_t want) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(static_cast<int>(Channel(got, shift)) - static_cast<int>(Channel(want, shift))) > 2)
            return ::testing::AssertionFailure() << std::hex << "0x" << got << " is not near 0x" << want;
    return ::testing::AssertionSuccess();
}

TEST_F(Painting, TheBasePaintingBlendsTheKindsGlyphAndNothingForPlayUnknownOrReleased) {
    struct Case {
        int kind;
        HBITMAP glyph;
    } cases[] = {{OstButton::kStop, skin.m_bmStop},
                 {OstButton::kNext, skin.m_bmNext},
                 {OstButton::kPlay, nullptr},
                 {0, nullptr},
                 {8, nullptr}};
    for (const Case& c : cases) {
        MemorySurface target(540, 200);
        OstButton button(c.kind, {185, 100, 55, 30}, true);
        EXPECT_EQ(button.Paint(hwnd, target.dc, &skin), 0);
        auto glyph = c.glyph ? win32::findBitmap(c.glyph) : nullptr;
        int wrong = 0;
        for (int y = 95; y < 135; ++y)
            for (int x = 180; x < 245; ++x) {
                bool inside = x >= 185 && x < 240 && y >= 100 && y < 130;
                std::uint32_t want = glyph && inside ? glyph->row(y - 100)[x - 185] : 0;
                wrong += target.at(x, y) != want;
            }
        EXPECT_EQ(wrong, 0) << "kind " << c.kind;
    }
    skin.ReleaseStaticImages();
    MemorySurface target(540, 200);
    OstButton stop(OstButton::kStop, {185, 100, 55, 30}, true);
    stop.Paint(hwnd, target.dc, &skin);
    EXPECT_EQ(target.at(212, 115), 0u) << "a released glyph draws nothing";
}

TEST_F(Painting, HighlightsCoverRows99To125WithAntiAliasedCornersAndOnlyThePressedFillWhenBothAreOne) {
    constexpr std::uint32_t kBelow = 0xFF204060;
    struct Case {
        const char* name;
        std::vector<Event> events;
        int alpha;  // of the fill over the previous button
    } cases[] = {
        {"hovered", {kOnPrev}, 60},
        {"pressed, pointer elsewhere", {kOnPrev, pressAt(kOnPrev), kOffRow}, 120},
        {"pressed and hovered", {kOnPrev, pressAt(kOnPrev)}, 120},
        {"nothing", {kOnPrev, kOffRow}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OstWidget widget;
        Fill(&widget);
        for (const Event& e : c.events) Deliver(widget, e);
        MemorySurface target(540, 200);
        target.fill(kBelow);
        {
            Gdiplus::Graphics graphics(target.dc);
            graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            widget.Paint(hwnd, &graphics, &skin);
        }
        std::uint32_t fill = c.alpha ? Over(kBelow, c.alpha) : kBelow;
        for (int y : {99, 100, 112, 125}) EXPECT_TRUE(Near(target.at(157, y), fill)) << "row " << y;
        for (int y : {102, 112, 125})
            for (int x : {130, 184}) EXPECT_TRUE(Near(target.at(x, y), fill)) << x << "," << y;
        for (int y : {98, 126, 129}) EXPECT_EQ(target.at(157, y), kBelow) << "row " << y;
        for (int x : {129, 185}) EXPECT_EQ(target.at(x, 112), kBelow) << "column " << x;
        if (c.alpha) {
            // The rounded corners are partly covered.
            for (int x : {130, 184}) {
                std::uint32_t corner = target.at(x, 99);
                EXPECT_LT(Channel(corner, 0), Channel(fill, 0)) << "column " << x;
                EXPECT_GT(Channel(corner, 0), Channel(kBelow, 0)) << "column " << x;
            }
        }
    }
}

}  // namespace
