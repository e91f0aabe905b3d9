// A fresh window table for the test display: what a new process starts
// with, for tests that start the program again in one process. The program
// itself never calls these. UI thread only.
#pragma once

namespace win32 {

// Drops every window without a message to its procedure, as when the
// process ends; for a test display going away.
void discardAllWindows();

// Unregisters every class no window uses, as a new process starts without
// them.
void forgetWindowClasses();

}  // namespace win32
