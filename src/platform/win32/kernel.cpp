// kernel32's process basics: the module handle, the tick count and the
// calling thread's last error.
#include <chrono>
#include <cstdint>

#include "platform/win32/kernel.h"

namespace {

// The program is its only module; its handle is the address a Windows
// program loads at, which is never a valid pointer here.
HMODULE const kModule = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000));

thread_local DWORD lastError = 0;

}  // namespace

HMODULE GetModuleHandleW(LPCWSTR name) { return name ? nullptr : kModule; }

DWORD GetTickCount() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }
