// The program entry of vek.exe: one instance at a time (a second start asks
// the running one for a check and ends), then the main window and its loop.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/Env.h"
#include "platform/Files.h"
#include "platform/UserPaths.h"
#include "platform/Win32System.h"
#include "shell/VekMainForm.h"
#include "shell/win32/VekWindow.h"

namespace {

// How long a second start waits for the first one's window: two starts at
// the same moment find the mark before the first has made its window.
constexpr DWORD FirstWindowWait = 10000;

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

// Asks the running instance for a check (it runs one a second later when it
// is idle); this start's command line is not read.
void AskFirstInstance() {
  const DWORD start = GetTickCount();
  do {
    if (HWND first = FindWindowW(vek::win32::MainClassName, nullptr)) {
      PostMessageW(first, vek::win32::WM_STARTCHECK, 0, 0);
      return;
    }
    Sleep(20);
  } while (GetTickCount() - start < FirstWindowWait);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Creating the mark and asking whether it existed is one step: two starts
  // at the same moment cannot both miss it.
  vek::platform::win32::THandle mark(CreateMutexW(nullptr, FALSE, L"VEK"));
  if (mark.Valid() && GetLastError() == ERROR_ALREADY_EXISTS) {
    AskFirstInstance();
    return 0;
  }

  vek::win32::TVekWindow window;
  vek::TVekMainForm form(window, vek::platform::TEnv::Default());
  const std::string programDir = vek::platform::DefaultProgramDirectory();
  window.Create(form, CommandLineArguments(), programDir);
  const std::string exeDir = vek::platform::ExecutableDirectory();
  if (programDir != exeDir) {
    form.AddLogLine(exeDir + " is not writable: settings, lists and the subject cache are in " + programDir);
  }
  return window.Run();
}
