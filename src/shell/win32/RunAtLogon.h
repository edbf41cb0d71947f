// The start with Windows: the value "VEK" under the user's Run key holds the
// quoted full path of this program and "/tray", which starts it in the
// notification area without showing the window. The value is the setting.
#pragma once
#include <string>

namespace vek::win32 {

// "\"C:\\...\\vek.exe\" /tray" for the running program.
std::wstring RunAtLogonCommand();
// Whether the Run value names this program (a program moved elsewhere: no).
bool RunsAtLogon();
// Writes or removes the value; false when the registry refused.
bool SetRunAtLogon(bool on);

}  // namespace vek::win32
