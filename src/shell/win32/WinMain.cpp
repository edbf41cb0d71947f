// The program entry of vek.exe: one instance at a time (a second start asks
// the running one for a check and ends), then the main window and its loop.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/Env.h"
#include "platform/Win32System.h"
#include "shell/VekMainForm.h"
#include "shell/win32/VekWindow.h"

namespace {

// The arguments after the program name, in the core's code page.
std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(vek::platform::win32::Narrow(argv[i]));
  LocalFree(argv);
  return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (HANDLE running = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"VEK")) {
    // The first instance runs a check a second later when it is idle; this
    // start's command line is not read.
    if (HWND first = FindWindowW(vek::win32::MainClassName, nullptr)) {
      PostMessageW(first, vek::win32::WM_STARTCHECK, 0, 0);
    }
    CloseHandle(running);
    return 0;
  }
  HANDLE mark = CreateMutexW(nullptr, FALSE, L"VEK");

  vek::win32::TVekWindow window;
  vek::TVekMainForm form(window, vek::platform::TEnv::Default());
  window.Create(form, CommandLineArguments());
  const int status = window.Run();
  if (mark) CloseHandle(mark);
  return status;
}
