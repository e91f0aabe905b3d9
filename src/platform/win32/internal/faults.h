// Calls a test can make fail, to reach the program's failure paths.
#pragma once

namespace win32 {

enum class Fault {
    RegisterClass,
    CreateWindow,
    GdiplusStartup,
    ShellNotifyIcon,
    Composition,  // composition reported off
    Count,
};

bool faultActive(Fault fault);
void setFault(Fault fault, bool active);
void clearFaults();

}  // namespace win32
