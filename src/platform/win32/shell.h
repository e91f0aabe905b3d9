// shell32: files dropped on a window.
#pragma once

#include "platform/win32/types.h"

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR file, UINT cch);
void DragFinish(HDROP drop);
BOOL DragQueryPoint(HDROP drop, POINT* point);
