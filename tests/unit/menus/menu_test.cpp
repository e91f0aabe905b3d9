// The menu base: its geometry, its frame and highlight pixels, what it owns,
// and the two concrete menus with the play menu's picture.
#include "menus/ot_menu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/win32/internal/diagnostics.h"
#include "platform/win32/internal/gdi_objects.h"
#include "platform/win32/text.h"
#include "skin/ot_skin.h"
#include "support/memory_surface.h"

namespace {

constexpr std::uint32_t kHighlight = 0xFF99CCFF;

struct Menus : ::testing::Test {
    Menus() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpszClassName = L"MenuTest";
        wc.lpfnWndProc = DefWindowProcW;
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(0, L"MenuTest", L"", 0, 0, 0, 540, 200, nullptr, nullptr, nullptr, nullptr);
    }
    ~Menus() override { DestroyWindow(hwnd); }

    // A menu of items of the given heights, item i posting WM_USER + 1 + i.
    std::unique_ptr<OstMenu> Make(std::vector<UINT> heights, OstSkin* skin) {
        auto menu = std::make_unique<OstMenu>();
        for (size_t i = 0; i < heights.size(); ++i) {
            OstMenuItem item = {};
            item.nTop = 999;  // whatever the caller puts there
            item.nHeight = heights[i];
            item.nMessage = WM_USER + 1 + static_cast<UINT>(i);
            menu->AddItem(&item);
        }
        menu->BuildFrame(hwnd, skin);
        return menu;
    }

    headless::HeadlessBackend display;
    HWND hwnd = nullptr;
};

TEST_F(Menus, GeometryFollowsTheItems) {
    struct Row {
        const char* name;
        std::vector<UINT> heights;
        int heightAfterAdding;
        std::vector<UINT> tops;
    } rows[] = {
        {"no item", {}, 10, {}},
        {"one item of 50", {50}, 61, {10}},
        {"two items of 20", {20, 20}, 52, {10, 31}},
        {"three of 1, 2, 3", {1, 2, 3}, 19, {10, 12, 15}},
    };
    for (const Row& row : rows) {
        OstMenu menu;
        for (UINT h : row.heights) {
            OstMenuItem item = {};
            item.nTop = 12345;
            item.nHeight = h;
            menu.AddItem(&item);
        }
        EXPECT_EQ(menu.GetHeight(), row.heightAfterAdding) << row.name;
        menu.BuildFrame(hwnd, nullptr);
        EXPECT_EQ(menu.GetHeight(), row.heightAfterAdding + 9) << row.name;
        EXPECT_EQ(menu.GetWidth(), 160) << row.name;
        ASSERT_EQ(menu.GetCount(), row.tops.size()) << row.name;
        for (size_t i = 0; i < row.tops.size(); ++i) EXPECT_EQ(menu.GetItems()[i].nTop, row.tops[i]) << row.name;
    }
}

TEST_F(Menus, TheConcreteMenusCarryTheirItems) {
    OstVolumeMenu volume(hwnd, nullptr);
    EXPECT_EQ(volume.GetCount(), 2u);
    EXPECT_EQ(volume.GetHeight(), 61) << "window 180 by 81";
    for (UINT i = 0; i < 2; ++i) {
        const OstMenuItem& item = volume.GetItems()[i];
        EXPECT_EQ(item.nTop, i == 0 ? 10u : 31u);
        EXPECT_EQ(item.nHeight, 20u);
        EXPECT_EQ(item.nFlags, 8u);
        EXPECT_EQ(item.nMessage, 1524u);
        EXPECT_EQ(item.pImage, nullptr);
    }

    OstPlayMenu play(hwnd, nullptr);
    ASSERT_EQ(play.GetCount(), 1u);
    EXPECT_EQ(play.GetHeight(), 70) << "window 180 by 90";
    const OstMenuItem& item = play.GetItems()[0];
    EXPECT_EQ(item.nTop, 10u);
    EXPECT_EQ(item.nHeight, 50u);
    EXPECT_STREQ(item.szText, L"Resume Previous");
    EXPECT_STREQ(item.szSubText, L"\"Test MP3\"");
    EXPECT_EQ(item.rcImage.left, 6);
    EXPECT_EQ(item.rcImage.top, 5);
    EXPECT_EQ(item.rcImage.right, 45);
    EXPECT_EQ(item.rcImage.bottom, 45);
    EXPECT_EQ(item.nExtra, 1);
    EXPECT_EQ(item.nFlags, 7u);
    EXPECT_EQ(item.nMessage, 1525u);
    ASSERT_NE(item.pImage, nullptr);
    EXPECT_EQ(item.pImage->GetLastStatus(), Gdiplus::Ok) << "the picture of the source tree";
    EXPECT_EQ(item.pImage->GetWidth(), 40u);
}

TEST_F(Menus, ANullRecordOrASeventeenthItemIsReportedAndIgnored) {
    OstMenu menu;
    menu.AddItem(nullptr);
    EXPECT_EQ(menu.GetCount(), 0u);
    ASSERT_EQ(win32::assertionReports().size(), 1u);
    EXPECT_NE(win32::assertionReports()[0].find("pMenuItem"), std::string::npos);
    OstMenuItem item = {};
    item.nHeight = 1;
    for (int i = 0; i < 17; ++i) menu.AddItem(&item);
    EXPECT_EQ(menu.GetCount(), 16u);
    EXPECT_EQ(menu.GetHeight(), 10 + 16 * 2);
    EXPECT_EQ(win32::assertionReports().size(), 2u);
}

// Counts its deletions.
class CountedImage : public Gdiplus::Image {
public:
    explicit CountedImage(int* deleted) : m_deleted(deleted) {}
    ~CountedImage() override { ++*m_deleted; }

private:
    int* m_deleted;
};

TEST_F(Menus, DestroyingDeletesOnlyThePicturesOfFlag4Items) {
    int deleted = 0;
    CountedImage kept(&deleted);
    {
        OstMenu menu;
        OstMenuItem item = {};
        item.nHeight = 5;
        item.nFlags = 4;
        item.pImage = new CountedImage(&deleted);
        menu.AddItem(&item);
        item.nFlags = 4 | 8;
        item.pImage = nullptr;  // flag 4 with no picture
        menu.AddItem(&item);
        item.nFlags = 1 | 2 | 8;
        item.pImage = &kept;  // not the menu's
        menu.AddItem(&item);
        item.nFlags = 0;
        item.pImage = reinterpret_cast<Gdiplus::Image*>(0x10);  // any value at all
        menu.AddItem(&item);
    }
    EXPECT_EQ(deleted, 1);
}

// What a painted 180 x 81 volume-sized menu window shows.
struct Painted {
    Painted(OstMenu& menu, int hot) : surface(180, menu.GetHeight() + 20) { menu.Paint(surface.dc, hot); }
    std::uint32_t at(int x, int y) const { return surface.at(x, y); }
    MemorySurface surface;
};

std::uint32_t SlicePixel(HBITMAP slice, int x, int y) {
    auto bitmap = win32::findBitmap(slice);
    cairo_surface_flush(bitmap->surface());
    return bitmap->row(y)[x];
}

TEST_F(Menus, TheFrameIsTheThreeSlicesElevenRowsDownWithBlackAround) {
    OstSkin skin;
    skin.Build(hwnd);
    auto menu = Make({20, 20}, &skin);
    ASSERT_EQ(menu->GetHeight(), 61);
    Painted painted(*menu, -1);
    int wrong = 0, lit = 0;
    for (int y = 0; y < 81; ++y)
        for (int x = 0; x < 180; ++x) {
            int row = y - 11;  // row of the frame
            std::uint32_t want = 0;
            if (row >= 0 && row < 9)
                want = SlicePixel(skin.m_bmMenuTop, x, row);
            else if (row >= 9 && row < 51)
                want = SlicePixel(skin.m_bmMenuMiddle, x, row % 5);
            else if (row >= 51 && row < 61)
                want = SlicePixel(skin.m_bmMenuBottom, x, row - 51);
            wrong += painted.at(x, y) != want;
            lit += want != 0;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(lit, 160 * 50) << "the slices are painted";
}

TEST_F(Menus, TheHighlightIsTheRoundedRectangleOfTheHotItemOnly) {
    OstSkin skin;
    skin.Build(hwnd);
    auto menu = Make({20, 20}, &skin);
    Painted frame(*menu, -1);
    // The rounded rectangle covers columns 13-166 and rows top to bottom - 1
    // whole, except near its four corners.
    struct Row {
        int hot;
        int top, bottom;  // window rows the highlight spans, -1 for none
    } rows[] = {{0, 20, 40}, {1, 41, 61}, {-1, -1, -1}, {2, -1, -1}, {-5, -1, -1}};
    for (const Row& row : rows) {
        Painted painted(*menu, row.hot);
        int wrong = 0;
        for (int y = 0; y < 81; ++y)
            for (int x = 0; x < 180; ++x) {
                std::uint32_t got = painted.at(x, y), before = frame.at(x, y);
                bool inside = row.top >= 0 && x >= 13 && x < 167 && y >= row.top && y < row.bottom;
                bool corner = (x < 16 || x >= 164) && (y < row.top + 3 || y >= row.bottom - 3);
                if (!inside)
                    wrong += got != before;
                else if (!corner)
                    wrong += got != kHighlight;
            }
        EXPECT_EQ(wrong, 0) << "hot " << row.hot;
        if (row.top >= 0) {
            EXPECT_NE(painted.at(13, row.top), kHighlight) << "the corners are rounded";
            EXPECT_NE(painted.at(166, row.bottom - 1), kHighlight);
        }
    }
}

TEST_F(Menus, ThePictureComesFromTheFirstDirectoryWhereItLoads) {
    std::vector<std::wstring> dirs = OstDataDirectories();
    ASSERT_EQ(dirs.size(), 2u);
    WCHAR program[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, program, MAX_PATH);
    std::wstring self(program, length);
    EXPECT_EQ(dirs[0], self.substr(0, self.rfind(L'/')) + L"/../share/ostrel");
    WCHAR source[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, OST_SOURCE_RESOURCES, -1, source, MAX_PATH);
    EXPECT_EQ(dirs[1], source);

    std::string scratch = ::testing::TempDir() + "menus_picture";
    std::string broken = scratch + "/broken";
    std::system(("mkdir -p '" + broken + "'").c_str());
    std::ofstream(broken + "/playmenu.png") << "\x89PNG\r\n\x1a\n not really";
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, broken.c_str(), -1, wide, MAX_PATH);
    std::wstring brokenDir = wide, missingDir = brokenDir + L"/missing";

    struct Row {
        const char* name;
        std::vector<std::wstring> dirs;
        bool loads;
    } rows[] = {
        {"missing", {missingDir}, false},
        {"unreadable", {brokenDir}, false},
        {"none", {}, false},
        {"missing, then the resources", {missingDir, dirs[1]}, true},
        {"unreadable, then the resources", {brokenDir, dirs[1]}, true},
    };
    for (const Row& row : rows) {
        std::unique_ptr<Gdiplus::Image> image(OstLoadPicture(row.dirs, L"playmenu.png"));
        ASSERT_NE(image, nullptr) << row.name;
        EXPECT_EQ(image->GetLastStatus() == Gdiplus::Ok, row.loads) << row.name;
    }
}

TEST_F(Menus, APictureThatDidNotLoadChangesNothingVisible) {
    OstSkin skin;
    skin.Build(hwnd);
    OstPlayMenu play(hwnd, nullptr);
    auto build = [&](Gdiplus::Image* image) {
        auto menu = std::make_unique<OstMenu>();
        OstMenuItem item = play.GetItems()[0];
        item.pImage = image;
        menu->AddItem(&item);
        menu->BuildFrame(hwnd, &skin);
        return menu;
    };
    auto loaded = build(OstLoadPicture(OstDataDirectories(), L"playmenu.png"));
    auto failed = build(OstLoadPicture({L"/nonexistent"}, L"playmenu.png"));
    ASSERT_EQ(loaded->GetItems()[0].pImage->GetLastStatus(), Gdiplus::Ok);
    ASSERT_NE(failed->GetItems()[0].pImage->GetLastStatus(), Gdiplus::Ok);
    for (int hot : {-1, 0}) {
        Painted a(*loaded, hot), b(*failed, hot);
        int differ = 0;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 180; ++x) differ += a.at(x, y) != b.at(x, y);
        EXPECT_EQ(differ, 0) << "hot " << hot;
    }
}

}  // namespace
