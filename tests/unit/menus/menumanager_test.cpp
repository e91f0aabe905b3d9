// The menu window as its procedure answers a sequence of messages and
// pointer input on the headless display: what the owner receives, whether
// and where the window shows, and what it paints.
#include "menus/ot_menumanager.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "menus/ot_menu.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "skin/ot_skin.h"
#include "support/pump.h"

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_owner;

// The owner records the program's messages and the forwarded clicks.
LRESULT OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER || message == WM_LBUTTONDOWN) g_owner.push_back({message, wParam, lParam});
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Input the hit test refuses produces no message, so a Pump can end before
// what that hit test posted: pump until nothing is left.
void Settle() {
    for (int i = 0; i < 3; ++i) Pump();
}

constexpr UINT kStays = WM_USER + 1;   // the first item's message; flag 8
constexpr UINT kCloses = WM_USER + 2;  // the second's; no flag 8
constexpr POINT kOwnerAt{200, 100};

struct MenuWindow : ::testing::Test {
    MenuWindow() {
        g_owner.clear();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpszClassName = L"MenuOwner";
        wc.lpfnWndProc = OwnerProc;
        RegisterClassExW(&wc);
        owner = CreateWindowExW(0, L"MenuOwner", L"", WS_VISIBLE, kOwnerAt.x, kOwnerAt.y, 540, 200, nullptr, nullptr,
                                nullptr, nullptr);
        skin.Build(owner);
        menu = std::make_unique<OstMenu>();
        OstMenuItem item = {};
        item.nHeight = 20;
        item.nFlags = 8;
        item.nMessage = kStays;
        menu->AddItem(&item);
        item.nFlags = 0;
        item.nMessage = kCloses;
        menu->AddItem(&item);
        menu->BuildFrame(owner, &skin);
        manager = std::make_unique<OstMenuManager>(owner);
        manager->SetCurrentMenu(menu.get());
        hwnd = manager->GetMenuWindow();
        Pump();
        g_owner.clear();
    }
    ~MenuWindow() override {
        manager.reset();
        DestroyWindow(owner);
    }

    bool Shown() { return IsWindowVisible(hwnd) && display.window(hwnd)->visible; }
    POINT Corner() {
        RECT rc;
        GetWindowRect(hwnd, &rc);
        return {rc.left, rc.top};
    }

    headless::HeadlessBackend display;
    OstSkin skin;
    HWND owner = nullptr;
    HWND hwnd = nullptr;
    std::unique_ptr<OstMenu> menu;
    std::unique_ptr<OstMenuManager> manager;
};

TEST_F(MenuWindow, MessageSequence) {
    auto show = [&](int x, int y) { PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(x, y)); };
    auto post = [&](UINT message, WPARAM wParam = 0) { PostMessageW(hwnd, message, wParam, 0); };
    struct Step {
        const char* name;
        std::function<void()> act;
        std::vector<UINT> ownerGets;
        bool shown;
    } steps[] = {
        {"show", [&] { show(500, 300); }, {WM_MENU_SHOWN}, true},
        {"show again elsewhere", [&] { show(100, 100); }, {}, true},
        {"hide", [&] { post(WM_MENU_HIDE); }, {WM_MENU_CLOSED}, false},
        {"hide while hidden", [&] { post(WM_MENU_HIDE); }, {}, false},
        {"deactivated while hidden", [&] { display.deactivate(hwnd); }, {}, false},
        {"activated while hidden", [&] { post(WM_ACTIVATE, WA_ACTIVE); }, {}, false},
        {"show at another point", [&] { show(600, 400); }, {WM_MENU_SHOWN}, true},
        {"activated while shown", [&] { post(WM_ACTIVATE, WA_ACTIVE); }, {}, true},
        {"deactivated while shown", [&] { display.deactivate(hwnd); }, {WM_MENU_CLOSED, WM_LBUTTONDOWN}, false},
        {"show", [&] { show(600, 400); }, {WM_MENU_SHOWN}, true},
        {"on the body's top-left", [&] { display.moveTo(hwnd, 10, 10); }, {}, true},
        {"on the body's bottom-right", [&] { display.moveTo(hwnd, 170, 71); }, {}, true},
        {"one past the right",
         [&] { display.moveTo(hwnd, 171, 30), display.moveTo(hwnd, 175, 30); },
         {WM_MENU_CLOSED},
         false},
        {"show", [&] { show(600, 400); }, {WM_MENU_SHOWN}, true},
        {"one past the left",
         [&] { display.moveTo(hwnd, 9, 30), display.moveTo(hwnd, 2, 30); },
         {WM_MENU_CLOSED},
         false},
        {"show", [&] { show(600, 400); }, {WM_MENU_SHOWN}, true},
        {"one past the top",
         [&] { display.moveTo(hwnd, 90, 9), display.moveTo(hwnd, 90, 3); },
         {WM_MENU_CLOSED},
         false},
        {"show", [&] { show(600, 400); }, {WM_MENU_SHOWN}, true},
        {"one past the bottom",
         [&] { display.moveTo(hwnd, 90, 72), display.moveTo(hwnd, 90, 79); },
         {WM_MENU_CLOSED},
         false},
        {"show", [&] { show(600, 400); }, {WM_MENU_SHOWN}, true},
        {"click the item with flag 8", [&] { display.click(hwnd, 90, 30); }, {kStays}, true},
        {"click above the first item", [&] { display.click(hwnd, 90, 19); }, {}, true},
        {"click below the last item", [&] { display.click(hwnd, 90, 62); }, {}, true},
        {"click the item without flag 8", [&] { display.click(hwnd, 90, 50); }, {kCloses, WM_MENU_CLOSED}, false},
    };
    for (const Step& step : steps) {
        g_owner.clear();
        step.act();
        Settle();
        std::vector<UINT> got;
        for (const Received& r : g_owner) got.push_back(r.message);
        EXPECT_EQ(got, step.ownerGets) << step.name;
        EXPECT_EQ(Shown(), step.shown) << step.name;
        for (const Received& r : g_owner) EXPECT_EQ(r.wParam, 0u) << step.name;
    }
    EXPECT_TRUE(win32::assertionReports().empty());
}

TEST_F(MenuWindow, ShowingPlacesSizesBlursActivatesAndPaintsTheWindow) {
    PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(500, 300));
    Pump();
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Corner().x, 490);
    EXPECT_EQ(Corner().y, 285);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 180);
    EXPECT_EQ(client.bottom, 81);
    const headless::WindowState* state = display.window(hwnd);
    EXPECT_EQ(state->position.x, 490);
    EXPECT_EQ(state->width, 180);
    EXPECT_EQ(state->height, 81);
    EXPECT_EQ(state->activations, 1) << "shown as SW_SHOW shows: activated";
    EXPECT_GE(state->raises, 1);
    // The blur follows the rounded body from (10, 15) to (171, 70).
    ASSERT_FALSE(state->blur.empty());
    RECT box = state->blur[0];
    for (const RECT& r : state->blur) {
        box.left = std::min(box.left, r.left), box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right), box.bottom = std::max(box.bottom, r.bottom);
    }
    EXPECT_EQ((std::vector<LONG>{box.left, box.top, box.right, box.bottom}), (std::vector<LONG>{10, 15, 171, 70}));
    EXPECT_GT(state->blur.size(), 1u) << "rounded corners";
    // The frame from row 11 (its glass from the ninth), black around it.
    EXPECT_EQ(display.pixel(hwnd, 90, 10), 0u);
    EXPECT_NE(display.pixel(hwnd, 90, 20), 0u);
    EXPECT_NE(display.pixel(hwnd, 90, 60), 0u);
    EXPECT_EQ(display.pixel(hwnd, 90, 80), 0u);
    EXPECT_NE(display.pixel(hwnd, 90, 30), 0xFF99CCFFu);

    // Shown again elsewhere after hiding: the window follows.
    PostMessageW(hwnd, WM_MENU_HIDE, 0, 0);
    PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(-20, 5));
    Pump();
    EXPECT_EQ(Corner().x, -30);
    EXPECT_EQ(Corner().y, -10);
}

TEST_F(MenuWindow, TheItemUnderThePointerLightsUpByRowAlone) {
    PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(500, 300));
    Pump();
    auto lit = [&](int y) { return display.pixel(hwnd, 90, y) == 0xFF99CCFFu; };
    struct Row {
        int x, y;
        int hot;  // -1: nothing lit
    } rows[] = {{90, 19, -1}, {90, 20, 0},  {160, 30, 0}, {11, 40, 0}, {90, 41, 1},
                {169, 61, 1}, {90, 62, -1}, {90, 71, -1}, {90, 50, 1}, {90, 10, -1}};
    for (const Row& row : rows) {
        display.moveTo(hwnd, row.x, row.y);
        Pump();
        EXPECT_EQ(lit(30), row.hot == 0) << row.x << "," << row.y;
        EXPECT_EQ(lit(50), row.hot == 1) << row.x << "," << row.y;
    }
}

TEST_F(MenuWindow, HidingClearsTheHotItemAndDeactivationDoesNot) {
    PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(500, 300));
    Pump();
    display.moveTo(hwnd, 90, 30);
    Pump();
    display.deactivate(hwnd);
    Pump();
    PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(500, 300));
    Pump();
    EXPECT_EQ(display.pixel(hwnd, 90, 30), 0xFF99CCFFu) << "still hot after a deactivation";
    PostMessageW(hwnd, WM_MENU_HIDE, 0, 0);
    PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(500, 300));
    Pump();
    EXPECT_NE(display.pixel(hwnd, 90, 30), 0xFF99CCFFu) << "no longer hot after hiding";
}

TEST_F(MenuWindow, DeactivationForwardsTheClickAtTheCursorInTheOwnersClientCoordinates) {
    struct Row {
        POINT cursor;  // screen
        POINT client;
    } rows[] = {{{467, 215}, {267, 115}}, {{50, 60}, {-150, -40}}, {{1000, 700}, {800, 600}}};
    for (const Row& row : rows) {
        PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(500, 300));
        Pump();
        g_owner.clear();
        display.setCursor(row.cursor);
        display.deactivate(hwnd);
        Pump();
        ASSERT_EQ(g_owner.size(), 2u);
        EXPECT_EQ(g_owner[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
        EXPECT_EQ(GET_X_LPARAM(g_owner[1].lParam), row.client.x);
        EXPECT_EQ(GET_Y_LPARAM(g_owner[1].lParam), row.client.y);
    }
}

TEST_F(MenuWindow, ShowAndHideArePostedWithTheirWords) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    manager->ShowMenu(0x12345, -3);
    manager->HideMenu();
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, WM_MENU_SHOW, WM_MENU_SHOW, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, MAKELPARAM(0x2345, 0xFFFD)) << "each cut to 16 bits";
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, WM_MENU_HIDE, WM_MENU_HIDE, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
}

TEST_F(MenuWindow, WithoutACurrentMenuNothingShowsAndANullMenuIsReported) {
    OstMenuManager bare(owner);
    EXPECT_TRUE(win32::assertionReports().empty()) << "a second manager finds its class registered";
    bare.SetCurrentMenu(nullptr);
    ASSERT_EQ(win32::assertionReports().size(), 1u);
    EXPECT_NE(win32::assertionReports()[0].find("hMenu"), std::string::npos);
    HWND window = bare.GetMenuWindow();
    g_owner.clear();
    PostMessageW(window, WM_MENU_SHOW, 0, MAKELPARAM(10, 10));
    Pump();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(g_owner.empty());
    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, 0), HTNOWHERE);
    SendMessageW(window, WM_LBUTTONDOWN, 0, MAKELPARAM(90, 30));
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(90, 30));
    Pump();
    EXPECT_TRUE(g_owner.empty());
}

TEST_F(MenuWindow, EachManagerKeepsItsOwnWindowsState) {
    PostMessageW(hwnd, WM_MENU_SHOW, 0, MAKELPARAM(500, 300));
    Pump();
    ASSERT_TRUE(Shown());
    // A second manager, made while the first one's menu shows, starts hidden
    // and leaves the first one shown: hiding it still tells the owner.
    OstMenuManager other(owner);
    other.SetCurrentMenu(menu.get());
    g_owner.clear();
    PostMessageW(other.GetMenuWindow(), WM_MENU_HIDE, 0, 0);
    Settle();
    EXPECT_TRUE(g_owner.empty()) << "the second window was never shown";
    PostMessageW(hwnd, WM_MENU_HIDE, 0, 0);
    Settle();
    ASSERT_EQ(g_owner.size(), 1u);
    EXPECT_EQ(g_owner[0].message, static_cast<UINT>(WM_MENU_CLOSED));
    EXPECT_FALSE(Shown());
}

}  // namespace
