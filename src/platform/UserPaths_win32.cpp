// Arguments from the wide command line; paths are shown as Windows writes them.
#include "platform/Win32System.h"  // windows.h before shellapi.h

#include <shellapi.h>

#include "platform/Files.h"
#include "platform/UserPaths.h"

namespace vek::platform {

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

std::string ChooseProgramDirectory(const std::string& executableDir, bool, const std::string&, const std::string&) {
  return executableDir;
}

std::string DefaultProgramDirectory() { return ExecutableDirectory(); }

}  // namespace vek::platform
