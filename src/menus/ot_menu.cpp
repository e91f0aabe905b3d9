#include "menus/ot_menu.h"

#include <cwchar>
#include <new>

#include "common/ot_layout.h"
#include "common/ot_messages.h"
#include "platform/win32/assertion.h"
#include "platform/win32/gdi.h"
#include "platform/win32/kernel.h"
#include "platform/win32/text.h"
#include "platform/win32/user.h"
#include "skin/ot_skin.h"
#include "skin/ot_staticcache.h"

using namespace Gdiplus;

namespace {

constexpr int kFrameWidth = OstLayout::kMenuWidth;
constexpr int kBodyWidth = 160;
constexpr int kFirstItemTop = 10;
constexpr int kFrameBottomRows = 9;
constexpr int kSliceHeight = 10;
constexpr int kFrameOffsetY = 11;  // the frame's place in the menu window
constexpr int kItemOffsetY = 10;   // menu y to menu-window y of a highlight
constexpr ARGB kHighlightColor = 0xFF99CCFF;

void CopyText(WCHAR* to, const WCHAR* from) {
    std::wcsncpy(to, from, 127);
    to[127] = L'\0';
}

}  // namespace

OstMenu::OstMenu()
    : m_nWidth(kBodyWidth), m_nHeight(kFirstItemTop), m_nCount(0), m_pCache(std::make_unique<OstStaticCache>()) {
    for (OstMenuItem& item : m_items) item = OstMenuItem{};
}

OstMenu::~OstMenu() {
    m_pCache.reset();  // before the pictures
    for (UINT i = 0; i < m_nCount; ++i) {
        if ((m_items[i].nFlags & kItemOwnsImage) && m_items[i].pImage) {
            delete m_items[i].pImage;
            m_items[i].pImage = NULL;
        }
    }
}

void OstMenu::AddItem(const OstMenuItem* pMenuItem) {
    if (!pMenuItem) {
        OST_ASSERT_FAILED("pMenuItem");
        return;
    }
    if (m_nCount >= kMaxItems) {
        OST_ASSERT_FAILED("m_nCount < 16");
        return;
    }
    OstMenuItem& slot = m_items[m_nCount++];
    slot = *pMenuItem;
    slot.nTop = static_cast<UINT>(m_nHeight);
    m_nHeight = static_cast<int>(pMenuItem->nHeight) + m_nHeight + 1;
}

void OstMenu::BuildFrame(HWND hWnd, OstSkin* pSkin) {
    m_nHeight += kFrameBottomRows;
    m_pCache->Create(hWnd, kFrameWidth, m_nHeight);
    Graphics* graphics = m_pCache->BeginGraphics(hWnd);
    if (!graphics) return;
    HDC hdc = NULL;
    GdipGetDC(graphics, &hdc);
    if (hdc && pSkin) {
        HDC hdcSlice = CreateCompatibleDC(hdc);
        HGDIOBJ previous = SelectObject(hdcSlice, pSkin->m_bmMenuTop);
        BitBlt(hdc, 0, 0, kFrameWidth, kSliceHeight, hdcSlice, 0, 0, SRCCOPY);
        // The middle slice tiles down from the cache's origin; the edge
        // slices overlap it by a row at either end.
        HBRUSH brush = CreatePatternBrush(pSkin->m_bmMenuMiddle);
        RECT middle;
        SetRect(&middle, 0, kFrameBottomRows, kFrameWidth, m_nHeight - kFrameBottomRows);
        FillRect(hdc, &middle, brush);
        DeleteObject(brush);
        SelectObject(hdcSlice, pSkin->m_bmMenuBottom);
        BitBlt(hdc, 0, m_nHeight - kSliceHeight, kFrameWidth, kSliceHeight, hdcSlice, 0, 0, SRCCOPY);
        SelectObject(hdcSlice, previous);
        DeleteDC(hdcSlice);
    }
    if (hdc) GdipReleaseDC(graphics, hdc);
    m_pCache->EndGraphics(graphics);
}

void OstMenu::Paint(HDC hdc, int nHot) {
    m_pCache->Draw(hdc, 0, kFrameOffsetY);
    if (nHot < 0 || static_cast<UINT>(nHot) >= m_nCount) return;
    const OstMenuItem& item = m_items[nHot];
    const int top = static_cast<int>(item.nTop) + kItemOffsetY;
    const int bottom = static_cast<int>(item.nTop + item.nHeight) + kItemOffsetY;
    Graphics* graphics = new (std::nothrow) Graphics(hdc);
    if (!graphics) return;
    graphics->SetSmoothingMode(SmoothingModeAntiAlias);
    SolidBrush* brush = new (std::nothrow) SolidBrush(Color(kHighlightColor));
    GraphicsPath path(FillModeAlternate);
    path.AddArc(13, top, 5, 5, 180.0f, 90.0f);
    path.AddArc(162, top, 5, 5, 270.0f, 90.0f);
    path.AddArc(162, bottom - 5, 5, 5, 0.0f, 90.0f);
    path.AddArc(13, bottom - 5, 5, 5, 90.0f, 90.0f);
    path.CloseAllFigures();
    if (brush) graphics->FillPath(brush, &path);
    delete brush;
    delete graphics;
}

OstVolumeMenu::OstVolumeMenu(HWND hWnd, OstSkin* pSkin) {
    OstMenuItem item = {};
    item.nHeight = 20;
    item.nFlags = kItemStaysOpen;
    item.nMessage = WM_CMD_VOLUME;
    AddItem(&item);
    AddItem(&item);
    BuildFrame(hWnd, pSkin);
}

OstVolumeMenu::~OstVolumeMenu() {}

OstPlayMenu::OstPlayMenu(HWND hWnd, OstSkin* pSkin) {
    OstMenuItem item = {};
    item.pImage = OstLoadPicture(OstDataDirectories(), L"playmenu.png");
    item.nHeight = 50;
    CopyText(item.szText, L"Resume Previous");
    CopyText(item.szSubText, L"\"Test MP3\"");
    SetRect(&item.rcImage, 6, 5, 45, 45);
    item.nExtra = 1;
    item.nFlags = 1 | 2 | kItemOwnsImage;
    item.nMessage = WM_CMD_RESUME;
    AddItem(&item);
    BuildFrame(hWnd, pSkin);
}

OstPlayMenu::~OstPlayMenu() {}

std::vector<std::wstring> OstDataDirectories() {
    std::vector<std::wstring> directories;
    WCHAR program[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(NULL, program, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        std::wstring path(program, length);
        std::wstring::size_type slash = path.rfind(L'/');
        if (slash != std::wstring::npos) directories.push_back(path.substr(0, slash) + L"/../share/ostrel");
    }
    WCHAR source[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_UTF8, 0, OST_SOURCE_RESOURCES, -1, source, MAX_PATH) > 0) directories.push_back(source);
    return directories;
}

Image* OstLoadPicture(const std::vector<std::wstring>& directories, const WCHAR* name) {
    std::wstring path;
    for (const std::wstring& directory : directories) {
        path = directory + L"/" + name;
        Image* image = new (std::nothrow) Image(path.c_str(), FALSE);
        if (image && image->GetLastStatus() == Ok) return image;
        delete image;
    }
    // Loaded again so that its status still tells why it failed.
    return new (std::nothrow) Image(path.c_str(), FALSE);
}
