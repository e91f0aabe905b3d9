// The real buttons on a window whose user data holds a stand-in host: the
// hints, the volume menu and the menus' skin all come through the host, and
// a window without one leaves the buttons with nothing to act on. Also the
// layout's promises that the buttons and the menu rely on.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "common/ot_layout.h"
#include "controls/ot_buttons.h"
#include "controls/ot_host.h"
#include "controls/ot_volumebutton.h"
#include "menus/ot_menu.h"
#include "menus/ot_menumanager.h"
#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "skin/ot_skin.h"
#include "support/memory_surface.h"
#include "support/pump.h"

namespace {

class RecordingHost : public OstHost {
public:
    OstPlayEngine* GetPlayEngine() const override { return nullptr; }
    OstSkin* GetSkin() const override { return skin; }
    OstMenuManager* GetMenuManager() const override { return manager; }
    void ShowHint(HWND, const OstHint& hint) override { shown.emplace_back(hint.nOwner, hint.nCenterX); }
    void HideHint(int nOwner) override { hidden.push_back(nOwner); }

    OstSkin* skin = nullptr;
    OstMenuManager* manager = nullptr;
    std::vector<std::pair<int, int>> shown;  // owner, centre x
    std::vector<int> hidden;
};

constexpr POINT kWindowAt{100, 50};

struct Host : ::testing::Test {
    Host() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpszClassName = L"HostTest";
        wc.lpfnWndProc = DefWindowProcW;
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, L"HostTest", L"", WS_VISIBLE, kWindowAt.x, kWindowAt.y, 540, 200, nullptr, nullptr,
                               nullptr, nullptr);
    }
    ~Host() override { DestroyWindow(hwnd); }

    void Attach() { SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<OstHost*>(&host))); }

    headless::HeadlessBackend display;
    HWND hwnd = nullptr;
    RecordingHost host;
};

TEST_F(Host, PlayAndStopShowTheirOwnHintOverTheirCentreAndHideOnlyTheirOwn) {
    Attach();
    OstPlayButton play(hwnd);
    OstStopButton stop;
    play.OnMouseEnter(hwnd);
    stop.OnMouseEnter(hwnd);
    play.OnMouseLeave(hwnd);
    stop.OnMouseLeave(hwnd);
    EXPECT_EQ(host.shown, (std::vector<std::pair<int, int>>{{1, 267}, {2, 212}}));
    EXPECT_EQ(host.hidden, (std::vector<int>{1, 2}));
}

TEST_F(Host, TheVolumeMenuHangsBelowTheButtonFromTheHostsManagerAndWearsTheHostsSkin) {
    OstSkin skin;
    skin.Build(hwnd);
    OstMenuManager manager(hwnd);
    host.skin = &skin;
    host.manager = &manager;
    Attach();
    OstVolumeButton volume(hwnd);

    volume.OnMouseEnter(hwnd);
    Pump();
    OstMenu* menu = manager.GetCurrentMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(IsWindowVisible(manager.GetMenuWindow()));
    RECT rc;
    GetWindowRect(manager.GetMenuWindow(), &rc);
    // The window's corner sits 10 left of and 15 above the button's
    // bottom-left corner.
    EXPECT_EQ(rc.left, kWindowAt.x + 350 - 10);
    EXPECT_EQ(rc.top, kWindowAt.y + 130 - 15);

    // Built from the host's skin, the frame shows glass where a menu made
    // without a skin stays black.
    MemorySurface withSkin(180, 81), without(180, 81);
    menu->Paint(withSkin.dc, -1);
    OstVolumeMenu bare(hwnd, nullptr);
    bare.Paint(without.dc, -1);
    EXPECT_NE(withSkin.at(90, 40) & 0xFFFFFF, 0u);
    EXPECT_EQ(without.at(90, 40) & 0xFFFFFF, 0u);

    volume.OnMouseLeave(hwnd);
    Pump();
    EXPECT_FALSE(IsWindowVisible(manager.GetMenuWindow()));
}

TEST_F(Host, WithoutAHostTheButtonsActOnNothingAndStopStillRepaintsPlay) {
    OstPlayButton play(hwnd);
    OstStopButton stop;
    OstVolumeButton volume(hwnd);
    play.OnMouseEnter(hwnd);
    play.OnMouseLeave(hwnd);
    volume.OnMouseEnter(hwnd);
    volume.OnMouseLeave(hwnd);
    EXPECT_EQ(play.OnClick(hwnd), 0);

    win32::clearDiagnostics();
    win32::logInvalidations(true);
    EXPECT_EQ(stop.OnClick(hwnd), 0);
    std::vector<win32::InvalidationRecord> records = win32::invalidations();
    win32::logInvalidations(false);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].rect.left, 240);
    EXPECT_EQ(records[0].rect.top, 100);
    EXPECT_EQ(records[0].rect.right, 295);
    EXPECT_EQ(records[0].rect.bottom, 130);
    EXPECT_TRUE(host.shown.empty());
}

// What the painting, the hit test and the menu take for granted.
TEST(Layout, TheButtonsLieOnTheStripTheRowIsUnbrokenAndTheMenuHangsFromVolume) {
    using namespace OstLayout;
    const Box row[] = {kPrevButton, kStopButton, kPlayButton, kNextButton, kVolumeButton};
    for (size_t i = 0; i < std::size(row); ++i) {
        EXPECT_EQ(row[i].y, kStripTop) << i;
        EXPECT_EQ(row[i].bottom(), kStripBottom) << i;
        if (i > 0) {
            EXPECT_EQ(row[i].x, row[i - 1].right()) << "a gap or an overlap before button " << i;
        }
    }
    for (const Box& b : {kPrevButton, kCloseButton, kMinimizeButton, kVolumeButton}) {
        EXPECT_GT(b.x, kStripLeft);
        EXPECT_LT(b.right(), kStripRight);
        EXPECT_GE(b.y, kStripTop);
        EXPECT_LE(b.bottom(), kStripBottom);
    }
    EXPECT_LE(kMinimizeButton.right(), kCloseButton.x);
    EXPECT_EQ(kVolumeMenuX, kVolumeButton.x);
    EXPECT_EQ(kVolumeMenuY, kVolumeButton.bottom());
    // The panel holds the strip with room for its glow; the bar's rows are
    // the strip's last ones.
    EXPECT_LT(kPanel.x, kStripLeft);
    EXPECT_LT(kPanel.y, kStripTop);
    EXPECT_GT(kPanel.right(), kStripRight);
    EXPECT_GT(kPanel.bottom(), kStripBottom);
    EXPECT_EQ(kProgressTop + kBarHeight, kStripBottom);
}

}  // namespace
