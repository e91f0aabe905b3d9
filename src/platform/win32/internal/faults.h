// Calls a test can make fail, to reach the program's failure paths. Only
// what no display backend owns has a switch here; a backend's own failures
// (window creation, composition, the tray) are the headless backend's to make.
#pragma once

namespace win32 {

enum class Fault {
    RegisterClass,
    GdiplusStartup,
    Count,
};

bool faultActive(Fault fault);
void setFault(Fault fault, bool active);
void clearFaults();

}  // namespace win32
