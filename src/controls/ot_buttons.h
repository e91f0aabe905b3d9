// The window buttons (close, minimize) and the transport buttons (play/pause,
// stop, previous, next), each at its place in the layout. They reach the
// play engine and the hint through the host kept in the main window's
// GWL_USERDATA.
#pragma once

#include <memory>

#include "controls/ot_button.h"

class OstPlayMenu;

// Destroys the main window, which ends the program. Never stays pressed.
class OstCloseButton : public OstButton {
public:
    OstCloseButton();
    int OnClick(HWND hWnd) override;
};

// Fades the main window out and hides it; the tray icon brings it back.
class OstMinimizeButton : public OstButton {
public:
    OstMinimizeButton();
    int OnClick(HWND hWnd) override;
};

// Pauses or resumes (never starts a stopped engine), shows its hint while
// hovered, and paints the play or pause glyph by the engine's state on every
// paint: the one button that is not static.
class OstPlayButton : public OstButton {
public:
    explicit OstPlayButton(HWND hWnd);
    int OnClick(HWND hWnd) override;
    int OnMouseEnter(HWND hWnd) override;
    int OnMouseLeave(HWND hWnd) override;
    int Paint(HWND hWnd, HDC hdc, OstSkin* pSkin) override;
    ~OstPlayButton() override;

private:
    std::unique_ptr<OstPlayMenu> m_pMenu;  // null only if it could not be made
};

// Stops playback and repaints the play/pause button; shows its hint while
// hovered.
class OstStopButton : public OstButton {
public:
    OstStopButton();
    int OnClick(HWND hWnd) override;
    int OnMouseEnter(HWND hWnd) override;
    int OnMouseLeave(HWND hWnd) override;
};

// Previous and next only stay pressed when clicked.
class OstPrevButton : public OstButton {
public:
    OstPrevButton();
};

class OstNextButton : public OstButton {
public:
    OstNextButton();
};
