// Other programs through the window system: starting a program the way the
// shell starts one, and asking another program's main window to close. Both
// need Windows; the POSIX build cannot see a Windows program's windows and
// answers false without doing anything (ProgramControlAvailable says so up
// front, so a front-end can tell the user once).
#pragma once
#include <string>

namespace vek::platform {

// True where StartProgram and CloseTopLevelWindow can act.
bool ProgramControlAvailable();

// Starts the program through the shell: verb "open", no parameters,
// workingDir as its working directory, shown in its default way, no owner
// window. Does not wait for it. False when the shell could not start it.
bool StartProgram(const std::string& exePath, const std::string& workingDir);

// Sends WM_CLOSE to the first top-level window of this window class and
// returns once that window has handled it (which includes whatever its
// program does while closing, a question to the user too), not when its
// program has ended. False when there is no such window.
bool CloseTopLevelWindow(const std::string& className);

}  // namespace vek::platform
