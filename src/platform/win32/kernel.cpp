// kernel32's process basics: the module handle, the tick count and the
// calling thread's last error.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/win32/kernel.h"
#include "platform/win32/text.h"

namespace {

// The program is its only module; its handle is the address a Windows
// program loads at, which is never a valid pointer here.
HMODULE const kModule = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000));

thread_local DWORD lastError = 0;

}  // namespace

HMODULE GetModuleHandleW(LPCWSTR name) { return name ? nullptr : kModule; }

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    if (module && module != kModule) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::string path(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    path.resize(static_cast<std::size_t>(length));
    int wide = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    if (wide <= 0) return 0;
    std::wstring converted(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, converted.data(), wide);
    converted.resize(static_cast<std::size_t>(wide) - 1);
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (converted.size() >= size) {
        converted.copy(fileName, size - 1);
        fileName[size - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    converted.copy(fileName, converted.size());
    fileName[converted.size()] = L'\0';
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(converted.size());
}

DWORD GetTickCount() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }
