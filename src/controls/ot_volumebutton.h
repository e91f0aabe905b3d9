// The volume button, last in the row. A click does nothing; resting the
// pointer on it opens its volume menu below it through the menu manager,
// and leaving it asks the manager to close the menu.
#pragma once

#include <memory>

#include "controls/ot_button.h"

class OstVolumeMenu;

class OstVolumeButton : public OstButton {
public:
    explicit OstVolumeButton(HWND hWnd);
    int OnClick(HWND hWnd) override;
    int OnMouseEnter(HWND hWnd) override;
    int OnMouseLeave(HWND hWnd) override;
    ~OstVolumeButton() override;

private:
    std::unique_ptr<OstVolumeMenu> m_pMenu;  // null only if it could not be made
};
