// Starting programs with ShellExecuteW and closing another program's main
// window with a sent WM_CLOSE.
#include "platform/Win32System.h"  // windows.h before shellapi.h

#include <shellapi.h>

#include "platform/Shell.h"

namespace vek::platform {

using win32::Wide;
using win32::WidePath;

bool ProgramControlAvailable() { return true; }

bool StartProgram(const std::string& exePath, const std::string& workingDir) {
  const std::wstring exe = WidePath(exePath);
  const std::wstring dir = WidePath(workingDir);
  HINSTANCE result = ShellExecuteW(nullptr, L"open", exe.c_str(), nullptr, dir.empty() ? nullptr : dir.c_str(),
                                   SW_SHOWDEFAULT);
  // Values above 32 mean success.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool CloseTopLevelWindow(const std::string& className) {
  HWND window = FindWindowW(Wide(className).c_str(), nullptr);
  if (window == nullptr) return false;
  SendMessageW(window, WM_CLOSE, 0, 0);
  return true;
}

}  // namespace vek::platform
