// Paths and arguments as the user gives and reads them: the command line in
// the core's code page 932, paths shown in the system's own form, and where
// the headless command keeps its files when it is not told.
#pragma once
#include <string>
#include <vector>

namespace vek::platform {

// The arguments after the program name, in code page 932. Windows reads the
// wide command line, so a Japanese folder name arrives whole on any console.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// A path typed by the user (relative to the current directory or absolute),
// made absolute, in the core's form with "\" separators.
std::string AbsolutePath(const std::string& path);

// A core path as the user reads it: "/" separators on POSIX (where "\" is no
// separator), unchanged on Windows.
std::string DisplayPath(const std::string& corePath);

// An environment variable in code page 932; empty when it is not set.
std::string EnvironmentVariable(const char* name);

// Where the program keeps vek.ini and its other files when neither --dir
// nor VEK_DIR names a folder. Windows: the executable's folder, or
// %APPDATA%\VEK when that folder is not writable (under "Program Files"). POSIX:
// the executable's folder for a copy of its own, but $XDG_CONFIG_HOME/vek
// (~/.config/vek) for a program installed under /usr or in a folder the user
// cannot write to. With a trailing "\".
std::string DefaultProgramDirectory();

// The rule itself, for the tests: paths in the core's form. Windows reads
// the per-user folder from configHome (%APPDATA%) and ignores home.
std::string ChooseProgramDirectory(const std::string& executableDir, bool executableDirWritable,
                                   const std::string& configHome, const std::string& home);
// Whether a file can be made in the folder (a trial file, removed at once).
bool FolderWritable(const std::string& dir);

}  // namespace vek::platform
