// GDI+ start-up and shutdown, the progress bar and the hint bubble that the
// play and stop buttons show while the pointer rests on them.
#pragma once

#include <memory>

#include "controls/ot_host.h"
#include "platform/win32/gdiplus.h"
#include "platform/win32/user.h"

class OstSkin;
class OstStaticCache;

class OstOverlay {
public:
    OstOverlay();
    ~OstOverlay();
    OstOverlay(const OstOverlay&) = delete;
    OstOverlay& operator=(const OstOverlay&) = delete;

    // 0 when GDI+ runs, 1 when it does not start.
    int Startup();

    void SetHint(HWND window, const OstHint& hint);
    void ShowHint();
    void HideHint();
    int GetHintOwner() const { return m_nHintOwner; }
    bool IsHintVisible() const { return m_bHintVisible; }

    void ComposeBackground(HWND window, OstStaticCache* cache, OstSkin* skin);
    void Paint(Gdiplus::Graphics* graphics, float fraction, OstSkin* skin);

private:
    void InvalidateHintArea();

    int m_nHintOwner;
    int m_nHintCenterX;
    HWND m_hHintWnd;
    bool m_bHintVisible;
    ULONG_PTR m_nGdiplusToken;
    std::unique_ptr<Gdiplus::SolidBrush> m_pProgressBrush;  // goes before GDI+ shuts down
};
