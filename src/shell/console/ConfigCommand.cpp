// Settings read and written one at a time, with the same file rules as the
// window's exit: other keys stay as they are and the file keeps its
// last-write time, which records the end of the last check.
#include "shell/console/ConfigCommand.h"

#include "platform/Console.h"
#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/UserPaths.h"
#include "shell/Settings.h"
#include "support/funcs.h"

namespace vek {

namespace {

constexpr int ExitRefused = 1;

int Refuse(const std::string& cp932Text) {
  platform::WriteStderr("vek: " + cp932Text + "\n");
  return ExitRefused;
}

std::string NameOf(const TSetting& setting) { return std::string(setting.Section) + "." + setting.Key; }

// What the program would use: the file's value, or the default when the key
// is missing or does not parse. Folders are shown as the system writes them.
std::string ValueOf(const std::string& iniName, const TSetting& setting) {
  std::string text;
  const bool stored = ReadStoredSetting(iniName, setting, text);
  const std::string value = EffectiveValue(setting, text, !stored);
  return setting.Type == TSettingType::Folder ? platform::DisplayPath(value) : value;
}

// A running VEK holds its settings file between checks; reading it then
// would show defaults, and writing it would fail or be overwritten at exit.
std::string HeldFileProblem(const std::string& iniName) {
  if (!platform::FileExists(iniName) || platform::IsReadOnly(iniName)) return "";
  const platform::FileHandle handle = platform::OpenNoShare(iniName);
  if (handle != 0) {
    platform::CloseHandle(handle);
    return "";
  }
  return platform::DisplayPath(iniName) +
         " is held by a running VEK (it keeps the file between checks); quit it, or change the setting in its "
         "window";
}

const TSetting* Lookup(const std::string& name) {
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return nullptr;
  return FindSetting(name.substr(0, dot), name.substr(dot + 1));
}

int List(const std::string& iniName) {
  std::string out;
  for (const TSetting& setting : SettingsTable()) out += NameOf(setting) + "=" + ValueOf(iniName, setting) + "\n";
  platform::WriteStdout(out);
  return 0;
}

// A folder is stored absolute, with "\" and a final separator, as the window's
// directory dialog stores it. It must exist; a folder that does not look like
// the host browser's is taken with a warning.
bool PrepareFolder(const TSetting& setting, std::string& value, std::string& problem) {
  value = WithTrailingBackslash(platform::AbsolutePath(value));
  if (!platform::DirectoryExists(value)) {
    problem = NameOf(setting) + " accepts an existing folder; " + platform::DisplayPath(value) + " is none";
    return false;
  }
  if (platform::ListFilesBySuffix(value, ".idx").empty() && !platform::DirectoryExists(value + "log")) {
    platform::WriteStderr("vek: warning: " + platform::DisplayPath(value) +
                          " holds no thread list file (*.idx) and no \"log\" folder; is it the host browser's "
                          "folder?\n");
  }
  return true;
}

// The settings file keeps its time: setting a value never counts as a check.
// A file made here gets a time long past for the same reason.
int Set(const std::string& programDir, const TSetting& setting, const std::string& text) {
  std::string value;
  if (!NormaliseUserValue(setting, text, value))
    return Refuse(NameOf(setting) + " accepts " + AcceptedValues(setting) + ", not \"" + text + "\"");
  std::string problem;
  if (setting.Type == TSettingType::Folder && !PrepareFolder(setting, value, problem)) return Refuse(problem);

  const std::string iniName = programDir + "vek.ini";
  SystemTime stamp;  // 1980-01-01, a Tuesday
  stamp.Year = 1980;
  stamp.Month = 1;
  stamp.Day = 1;
  stamp.DayOfWeek = 2;
  if (platform::FileExists(iniName)) {
    if (platform::IsReadOnly(iniName))
      return Refuse(platform::DisplayPath(iniName) + " is read-only; " + NameOf(setting) + " was not changed");
    problem = HeldFileProblem(iniName);
    if (!problem.empty()) return Refuse(problem);
    stamp = GetFileWriteTime(iniName);
  } else {
    platform::CreateDirectories(programDir);
  }
  const auto writeKey = [&](const std::string& draft) {
    return platform::IniWriteString(draft, setting.Section, setting.Key, value, platform::TDurability::Renamed);
  };
  if (!RewriteSettingsFile(iniName, writeKey))
    return Refuse(platform::DisplayPath(iniName) + " に書き込めません");
  SetFileWriteTime(iniName, stamp);
  return 0;
}

}  // namespace

int ConfigCommand(const std::string& programDir, const std::vector<std::string>& operands) {
  const std::string iniName = programDir + "vek.ini";
  const std::string held = HeldFileProblem(iniName);
  if (!held.empty()) return Refuse(held);
  if (operands.size() == 1 && operands[0] == "--list") return List(iniName);
  const TSetting* setting = Lookup(operands[0]);
  if (setting == nullptr)
    return Refuse("no setting named \"" + operands[0] + "\" (`vek config --list` shows every setting)");
  if (operands.size() == 1) {
    platform::WriteStdout(ValueOf(iniName, *setting) + "\n");
    return 0;
  }
  return Set(programDir, *setting, operands[1]);
}

}  // namespace vek
