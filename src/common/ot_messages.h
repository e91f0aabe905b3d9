// The program's own window messages, shared by the main window, the menu
// window, the tray and the play engine. Kept outside the application's folder
// so that every layer that posts or handles them may include it.
#pragma once

#include "platform/win32/user.h"

#define WM_TRAYICON (WM_USER + 100)
#define WM_MENU_SHOW (WM_USER + 400)
#define WM_MENU_HIDE (WM_USER + 401)
#define WM_MENU_SHOWN (WM_USER + 403)
#define WM_MENU_CLOSED (WM_USER + 407)
#define WM_CMD_VOLUME (WM_USER + 500)
#define WM_CMD_RESUME (WM_USER + 501)
#define WM_ENGINE_UPDATE (WM_USER + 800)
#define WM_PLAYBACK_ENDED (WM_USER + 1101)
