#include "controls/ot_volumebutton.h"

#include <new>

#include "app/ot_application.h"
#include "app/ot_control.h"
#include "menus/ot_menu.h"
#include "menus/ot_menumanager.h"

namespace {

OstMenuManager* MenuManager(HWND hWnd) {
    auto* app = reinterpret_cast<OstApplication*>(GetWindowLongW(hWnd, GWL_USERDATA));
    OstMainWindow* main = app ? app->GetMainWindow() : NULL;
    return main ? main->GetMenuManager() : NULL;
}

}  // namespace

OstVolumeButton::OstVolumeButton(HWND hWnd)
    : OstButton(kVolume, Gdiplus::Rect(350, 100, 55, 30), true), m_pMenu(new (std::nothrow) OstVolumeMenu(hWnd)) {}

OstVolumeButton::~OstVolumeButton() {
    if (m_pMenu) {
        delete m_pMenu;
        m_pMenu = NULL;
    }
}

int OstVolumeButton::OnClick(HWND) { return 0; }

int OstVolumeButton::OnMouseEnter(HWND hWnd) {
    OstMenuManager* manager = MenuManager(hWnd);
    if (!m_pMenu || !manager) return 0;
    // The button's bottom-left corner: the menu hangs below the button,
    // over its lower half.
    POINT corner = {350, 130};
    ClientToScreen(hWnd, &corner);
    manager->SetCurrentMenu(m_pMenu);
    manager->ShowMenu(corner.x, corner.y);
    return 0;
}

int OstVolumeButton::OnMouseLeave(HWND hWnd) {
    if (OstMenuManager* manager = MenuManager(hWnd)) manager->HideMenu();
    return 0;
}
