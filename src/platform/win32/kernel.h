// kernel32: the module handle, timer-queue timers and local memory.
#pragma once

#include "platform/win32/types.h"

HMODULE GetModuleHandleW(LPCWSTR moduleName);
DWORD GetTickCount();

// Timer-queue timers. Callbacks run on a pool thread. Deleting a timer with
// a null completion event cancels it without waiting for a running callback.
using WAITORTIMERCALLBACK = void (*)(PVOID parameter, BOOL timerOrWaitFired);
#define WT_EXECUTEDEFAULT 0x00000000
BOOL CreateTimerQueueTimer(PHANDLE timer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID parameter,
                           DWORD dueTime, DWORD period, ULONG flags);
BOOL DeleteTimerQueueTimer(HANDLE queue, HANDLE timer, HANDLE completionEvent);

// Local memory
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
LPVOID LocalLock(HLOCAL memory);
BOOL LocalUnlock(HLOCAL memory);
HLOCAL LocalFree(HLOCAL memory);
