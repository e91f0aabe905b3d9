// kernel32: the module handle, the tick count, the last error, timer-queue
// timers and local memory.
#pragma once

#include "platform/win32/types.h"

HMODULE GetModuleHandleW(LPCWSTR moduleName);
// The program's own path (the module is always the program). A path longer
// than the buffer is cut, terminated, and reported as `size` with
// ERROR_INSUFFICIENT_BUFFER; 0 when the path cannot be read.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
DWORD GetTickCount();

// The calling thread's last error, set by the calls that fail with one.
DWORD GetLastError();
void SetLastError(DWORD error);
#define ERROR_SUCCESS 0
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_CLASS_ALREADY_EXISTS 1410
#define ERROR_CANNOT_FIND_WND_CLASS 1407
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_IO_PENDING 997
#define ERROR_RESOURCE_NOT_FOUND 1812

// Timer-queue timers. Callbacks run on a pool thread. Deleting a timer with
// a null completion event cancels it without waiting for a running callback.
using WAITORTIMERCALLBACK = void (*)(PVOID parameter, BOOL timerOrWaitFired);
#define WT_EXECUTEDEFAULT 0x00000000
BOOL CreateTimerQueueTimer(PHANDLE timer, HANDLE queue, WAITORTIMERCALLBACK callback, PVOID parameter, DWORD dueTime,
                           DWORD period, ULONG flags);
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
