// Arguments are UTF-8 here; paths the user reads use "/".
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/PosixSystem.h"
#include "platform/Sjis.h"
#include "platform/UserPaths.h"

namespace vek::platform {

namespace {

// A directory in the core's form with its final "\"; the last byte may be the
// trail byte 0x5C of a two-byte character, which is no separator.
std::string CoreDirectoryOf(std::string dir) {
  for (char& c : dir)
    if (c == '/') c = '\\';  // "/" (0x2F) is never a trail byte
  bool separatorLast = false;
  for (size_t i = 0; i < dir.size(); ++i) {
    separatorLast = dir[i] == '\\';
    if (IsSjisLeadByte(static_cast<unsigned char>(dir[i]))) ++i;
  }
  if (!separatorLast) dir += '\\';
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
  if (!xdgConfigHome.empty() && (xdgConfigHome[0] == '/' || xdgConfigHome[0] == '\\'))
    return CoreDirectoryOf(xdgConfigHome) + "vek\\";
  return CoreDirectoryOf(home) + ".config\\vek\\";
}

bool FolderWritable(const std::string& dir) { return ::access(posix::SystemPath(dir).c_str(), W_OK) == 0; }

std::string DefaultProgramDirectory() {
  const std::string exeDir = ExecutableDirectory();
  return ChooseProgramDirectory(exeDir, FolderWritable(exeDir), EnvironmentVariable("XDG_CONFIG_HOME"),
                                EnvironmentVariable("HOME"));
}

}  // namespace vek::platform
