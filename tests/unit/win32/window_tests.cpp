// Window lifetime and the messages it brings, and handle checking.
#include <gtest/gtest.h>

#include "message_recorder.h"
#include "platform/win32/assertion.h"
#include "platform/win32/gdi.h"
#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/internal/faults.h"
#include "support/pump.h"

namespace {

struct Windows : ::testing::Test {
    headless::HeadlessBackend display;
};

TEST_F(Windows, CreationSendsNcCreateCreateThenShowsAVisibleWindow) {
    RecordingWindow window;
    EXPECT_EQ(window.messages(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SHOWWINDOW}));
    EXPECT_EQ(window.received()[2].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_TRUE(IsWindowVisible(window.hwnd()));
    EXPECT_TRUE(display.window(window.hwnd())->visible);
}

TEST_F(Windows, CreateParameterArrivesWithWmCreateDuringTheCall) {
    static void* seen = nullptr;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpszClassName = L"ParamClass";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_CREATE) seen = reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams;
        return DefWindowProcW(h, m, w, l);
    };
    ASSERT_NE(RegisterClassExW(&wc), 0);
    int marker = 0;
    HWND hwnd = CreateWindowExW(0, L"ParamClass", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, &marker);
    EXPECT_EQ(seen, &marker);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    DestroyWindow(hwnd);
}

TEST_F(Windows, ShowWindowSendsWmShowWindowOnlyWhenVisibilityChanges) {
    RecordingWindow window;
    window.clear();
    ShowWindow(window.hwnd(), SW_SHOWNORMAL);
    EXPECT_TRUE(window.messages().empty());
    ShowWindow(window.hwnd(), SW_HIDE);
    ShowWindow(window.hwnd(), SW_HIDE);
    EXPECT_EQ(window.messages(), (std::vector<UINT>{WM_SHOWWINDOW}));
    EXPECT_FALSE(display.window(window.hwnd())->visible);
}

TEST_F(Windows, DestroyWindowSendsDestroyThenNcDestroyAndTheHandleGoesStale) {
    auto* window = new RecordingWindow;
    HWND hwnd = window->hwnd();
    window->clear();
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(window->messages(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    delete window;

    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_FALSE(PostMessageW(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 0);
    EXPECT_FALSE(InvalidateRect(hwnd, nullptr, TRUE));
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_USERDATA), 0);
    EXPECT_EQ(GetDC(hwnd), nullptr);
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(0x12345)));
}

TEST_F(Windows, StaleGdiHandlesFail) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
    HGDIOBJ old = SelectObject(dc, bitmap);
    EXPECT_FALSE(DeleteObject(bitmap)) << "a selected bitmap cannot be deleted";
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    // A handle of one kind is not accepted as another.
    HRGN region = CreateRectRgn(0, 0, 1, 1);
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(region)));
    EXPECT_TRUE(DeleteObject(region));
}

TEST_F(Windows, UserDataHoldsAPointerAndTheStyleKeepsVisibility) {
    RecordingWindow window;
    int value = 0;
    SetWindowLongW(window.hwnd(), GWL_USERDATA, reinterpret_cast<LONG_PTR>(&value));
    EXPECT_EQ(reinterpret_cast<int*>(GetWindowLongW(window.hwnd(), GWL_USERDATA)), &value);
    SetWindowLongW(window.hwnd(), GWL_STYLE, 0);
    EXPECT_TRUE(IsWindowVisible(window.hwnd()));
    EXPECT_EQ(GetWindowLongW(window.hwnd(), GWL_STYLE), static_cast<LONG_PTR>(WS_VISIBLE));
}

TEST_F(Windows, ChosenCallsFail) {
    win32::setFault(win32::Fault::RegisterClass, true);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpszClassName = L"Refused";
    wc.lpfnWndProc = DefWindowProcW;
    EXPECT_EQ(RegisterClassExW(&wc), 0);
    win32::setFault(win32::Fault::RegisterClass, false);
    ASSERT_NE(RegisterClassExW(&wc), 0);
    display.failWindowCreation(true);
    EXPECT_EQ(CreateWindowExW(0, L"Refused", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(Windows, CoordinatesMapThroughTheWindowPosition) {
    RecordingWindow window;  // placed at (50, 60)
    POINT p{10, 20};
    ClientToScreen(window.hwnd(), &p);
    EXPECT_EQ(p.x, 60);
    EXPECT_EQ(p.y, 80);
    ScreenToClient(window.hwnd(), &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
}

TEST_F(Windows, LayeredColourKeyReachesTheDisplayOnlyForLayeredWindows) {
    RecordingWindow plain;
    EXPECT_FALSE(SetLayeredWindowAttributes(plain.hwnd(), RGB(0, 0, 0), 0, LWA_COLORKEY));
    RecordingWindow layered(WS_EX_LAYERED);
    EXPECT_TRUE(SetLayeredWindowAttributes(layered.hwnd(), RGB(0, 0, 0), 0, LWA_COLORKEY));
    EXPECT_TRUE(display.window(layered.hwnd())->colorKey);
}

TEST_F(Windows, MessageBoxesAndAssertionsAreReportedAndExecutionGoesOn) {
    MessageBoxW(nullptr, L"Something failed.", L"Error", MB_ICONERROR);
    ReportAssertionFailure("m_hWnd", "/src/app/ot_control.cpp", 12);
    ASSERT_EQ(win32::messageBoxes().size(), 1u);
    EXPECT_EQ(win32::messageBoxes()[0].caption, "Error");
    EXPECT_EQ(win32::messageBoxes()[0].text, "Something failed.");
    ASSERT_EQ(win32::assertionReports().size(), 1u);
    EXPECT_EQ(win32::assertionReports()[0], "Assertion failed: m_hWnd, file ot_control, line 12");
}

}  // namespace

namespace {

TEST_F(Windows, SetWindowPosMovesResizesAndRaisesAsTheFlagsAllow) {
    RecordingWindow window;
    HWND hwnd = window.hwnd();
    Pump();
    struct Row {
        const char* name;
        HWND after;
        int x, y, cx, cy;
        UINT flags;
        RECT rect;  // GetWindowRect afterwards
        int raises;
        bool invalid;  // the whole window waits for a paint
    } rows[] = {
        {"move and size", HWND_TOP, 40, 50, 180, 81, 0, {40, 50, 220, 131}, 1, true},
        {"same size again", HWND_TOP, 41, 50, 180, 81, 0, {41, 50, 221, 131}, 2, false},
        {"no size", HWND_TOP, 5, 6, 999, 999, SWP_NOSIZE, {5, 6, 185, 87}, 3, false},
        {"no move", HWND_TOP, 999, 999, 20, 10, SWP_NOMOVE, {5, 6, 25, 16}, 4, true},
        {"no z-order", HWND_TOP, 7, 8, 20, 10, SWP_NOZORDER, {7, 8, 27, 18}, 4, false},
        {"empty is one pixel", HWND_TOP, 7, 8, 0, -4, SWP_NOZORDER, {7, 8, 8, 9}, 4, true},
    };
    for (const Row& row : rows) {
        Pump();
        EXPECT_TRUE(SetWindowPos(hwnd, row.after, row.x, row.y, row.cx, row.cy, row.flags)) << row.name;
        RECT rc;
        GetWindowRect(hwnd, &rc);
        EXPECT_EQ((std::vector<LONG>{rc.left, rc.top, rc.right, rc.bottom}),
                  (std::vector<LONG>{row.rect.left, row.rect.top, row.rect.right, row.rect.bottom}))
            << row.name;
        const headless::WindowState* state = display.window(hwnd);
        EXPECT_EQ(state->position.x, row.rect.left) << row.name;
        EXPECT_EQ(state->width, row.rect.right - row.rect.left) << row.name;
        EXPECT_EQ(state->raises, row.raises) << row.name;
        RECT update;
        bool invalid = GetUpdateRect(hwnd, &update, FALSE) && update.right == rc.right - rc.left &&
                       update.bottom == rc.bottom - rc.top;
        EXPECT_EQ(invalid, row.invalid) << row.name;
    }
    // The new surface is painted and presented at its size.
    Pump();
    EXPECT_EQ(display.window(hwnd)->pixels.size(), 1u);
    EXPECT_FALSE(SetWindowPos(reinterpret_cast<HWND>(0x7777), HWND_TOP, 0, 0, 1, 1, 0));
}

TEST_F(Windows, ShowingActivatesExceptWithoutActivationCommands) {
    RecordingWindow window;
    HWND hwnd = window.hwnd();
    int created = display.window(hwnd)->activations;
    EXPECT_EQ(created, 1) << "created visible: shown as SW_SHOW shows";
    struct Row {
        int command;
        int activations;
    } rows[] = {{SW_SHOW, 1}, {SW_SHOWNORMAL, 1}, {SW_SHOWNA, 0}, {SW_SHOWNOACTIVATE, 0}};
    for (const Row& row : rows) {
        ShowWindow(hwnd, SW_HIDE);
        int before = display.window(hwnd)->activations;
        ShowWindow(hwnd, row.command);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_EQ(display.window(hwnd)->activations - before, row.activations) << row.command;
        ShowWindow(hwnd, row.command);
        EXPECT_EQ(display.window(hwnd)->activations - before, row.activations) << "already shown: " << row.command;
    }
}

TEST_F(Windows, TheSystemApplicationIconIsOneSharedPicture) {
    HICON icon = LoadIconW(NULL, IDI_APPLICATION);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconW(NULL, IDI_APPLICATION), icon);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_EQ(LoadIconW(NULL, IDI_APPLICATION), icon) << "a shared icon outlives DestroyIcon";
    EXPECT_EQ(LoadIconW(NULL, MAKEINTRESOURCEW(6007)), nullptr) << "the program's icons need its instance";
}

TEST_F(Windows, TheModuleFileNameIsTheProgramsPathCutToTheBuffer) {
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::wstring full(path, length);
    EXPECT_EQ(full.front(), L'/');
    EXPECT_EQ(full.substr(full.rfind(L'/') + 1), L"win32_tests");
    EXPECT_EQ(GetModuleFileNameW(GetModuleHandleW(NULL), path, MAX_PATH), length);

    WCHAR small[5];
    EXPECT_EQ(GetModuleFileNameW(NULL, small, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(small), full.substr(0, 4));
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x1234), path, MAX_PATH), 0u);
}

}  // namespace
