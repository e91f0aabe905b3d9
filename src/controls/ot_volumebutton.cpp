#include "controls/ot_volumebutton.h"

#include <new>

#include "common/ot_layout.h"
#include "controls/ot_host.h"
#include "menus/ot_menu.h"
#include "menus/ot_menumanager.h"

OstVolumeButton::OstVolumeButton(HWND hWnd)
    : OstButton(kVolume, LayoutRect(OstLayout::kVolumeButton), true),
      m_pMenu(new (std::nothrow) OstVolumeMenu(hWnd, OstHostSkin(hWnd))) {}

OstVolumeButton::~OstVolumeButton() = default;

int OstVolumeButton::OnClick(HWND) { return 0; }

int OstVolumeButton::OnMouseEnter(HWND hWnd) {
    OstMenuManager* manager = OstHostMenuManager(hWnd);
    if (!m_pMenu || !manager) return 0;
    POINT corner = {OstLayout::kVolumeMenuX, OstLayout::kVolumeMenuY};
    ClientToScreen(hWnd, &corner);
    manager->SetCurrentMenu(m_pMenu.get());
    manager->ShowMenu(corner.x, corner.y);
    return 0;
}

int OstVolumeButton::OnMouseLeave(HWND hWnd) {
    if (OstMenuManager* manager = OstHostMenuManager(hWnd)) manager->HideMenu();
    return 0;
}
