// No window system that a Windows program lives in: nothing to start or
// close from here (running the host browser under Wine does not change that,
// its windows are not this system's).
#include "platform/Shell.h"

namespace vek::platform {

bool ProgramControlAvailable() { return false; }
bool StartProgram(const std::string&, const std::string&) { return false; }
bool CloseTopLevelWindow(const std::string&) { return false; }

}  // namespace vek::platform
