// What the window does for the system around it: the end of the session
// (TVekWindow::EndSession), and messages of the shell let into an elevated
// process.
#pragma once
#include <windows.h>

namespace vek::win32 {

// Lets message reach window even when this process runs elevated and the
// sender (the shell) does not. Older systems without the call need nothing.
void AllowMessageFromShell(HWND window, UINT message);

}  // namespace vek::win32
