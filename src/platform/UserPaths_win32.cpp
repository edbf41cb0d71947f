// Arguments from the wide command line; paths are shown as Windows writes
// them; the program's files go to %APPDATA%\VEK when its own folder is not
// writable.
#include "platform/Win32System.h"  // windows.h before shellapi.h

#include <shellapi.h>
#include <shlobj.h>

#include "platform/Files.h"
#include "platform/UserPaths.h"

namespace vek::platform {

using win32::WidePath;

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  // argv holds the ANSI code page's text; the wide command line holds what
  // the user typed, whatever the console's code page.
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (wide == nullptr) {
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    return args;
  }
  for (int i = 1; i < count; ++i) args.push_back(win32::Narrow(wide[i]));
  LocalFree(wide);
  return args;
}

std::string AbsolutePath(const std::string& path) {
  const std::wstring wide = win32::WidePath(path);
  DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  full.resize(n);
  return win32::Narrow(full);
}

std::string DisplayPath(const std::string& corePath) { return corePath; }

std::string EnvironmentVariable(const char* name) {
  const std::wstring wideName = win32::Wide(name);
  DWORD n = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (n == 0) return std::string();
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
  value.resize(n);
  return win32::Narrow(value);
}

std::string ChooseProgramDirectory(const std::string& executableDir, bool executableDirWritable,
                                   const std::string& appData, const std::string&) {
  if (executableDirWritable || appData.empty()) return executableDir;
  std::string dir = WidePath(appData).back() == L'\\' ? appData : appData + "\\";
  return dir + "VEK\\";
}

bool FolderWritable(const std::string& dir) {
  // Only a trial tells: access lists, a read-only medium and a folder under
  // "Program Files" (no virtual store for a program run asInvoker) all refuse
  // here. The file goes when its handle does, also if the program is killed.
  const std::string name = dir + "vek-write-test-" + std::to_string(GetCurrentProcessId()) + ".tmp";
  HANDLE file = CreateFileW(WidePath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::string DefaultProgramDirectory() {
  const std::string exeDir = ExecutableDirectory();
  std::string appData;
  wchar_t* path = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &path)))
    appData = win32::Narrow(path);
  CoTaskMemFree(path);
  return ChooseProgramDirectory(exeDir, FolderWritable(exeDir), appData, "");
}

}  // namespace vek::platform
