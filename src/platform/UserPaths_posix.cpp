// Arguments are UTF-8 here; paths the user reads use "/".
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/PosixSystem.h"
#include "platform/UserPaths.h"

namespace vek::platform {

namespace {

std::string CoreDirectoryOf(const std::string& systemPath) {
  std::string dir = posix::CoreName(systemPath);
  for (char& c : dir)
    if (c == '/') c = '\\';
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return dir;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8ToCp932(argv[i]));
  return args;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(posix::SystemPath(path), error);
  std::string text = posix::CoreName(error ? posix::SystemPath(path) : absolute.lexically_normal().string());
  for (char& c : text)
    if (c == '/') c = '\\';
  return text;
}

std::string DisplayPath(const std::string& corePath) { return posix::CoreName(posix::SystemPath(corePath)); }

std::string EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : Utf8ToCp932(value);
}

std::string ChooseProgramDirectory(const std::string& executableDir, bool executableDirWritable,
                                   const std::string& xdgConfigHome, const std::string& home) {
  const bool installed = executableDir.rfind("\\usr\\", 0) == 0;
  if (!installed && executableDirWritable) return executableDir;
  // The XDG base directory rules: a relative XDG_CONFIG_HOME is ignored.
  if (!xdgConfigHome.empty() && xdgConfigHome[0] == '\\') return CoreDirectoryOf(xdgConfigHome) + "vek\\";
  return CoreDirectoryOf(home) + ".config\\vek\\";
}

std::string DefaultProgramDirectory() {
  const std::string exeDir = ExecutableDirectory();
  const bool writable = ::access(posix::SystemPath(exeDir).c_str(), W_OK) == 0;
  std::string xdg = EnvironmentVariable("XDG_CONFIG_HOME");
  for (char& c : xdg)
    if (c == '/') c = '\\';
  return ChooseProgramDirectory(exeDir, writable, xdg, EnvironmentVariable("HOME"));
}

}  // namespace vek::platform
