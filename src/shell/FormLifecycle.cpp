// Start-up and exit of the main window: the settings file is read once while
// the window is created and written once when it is destroyed, keeping the
// file's last-write time, which records the end of the last check run.
#include <cerrno>
#include <cstdlib>

#include "check/DatList.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "shell/VekMainForm.h"
#include "support/funcs.h"

namespace vek {

namespace {

constexpr const char* DorSection = "dorvella";
constexpr const char* VekSection = "VEK";
constexpr const char* WindowSection = "Window";

// Decimal, or hexadecimal after "0x"/"0X"; anything else gives the default.
int ParseIniInteger(const std::string& text, int defaultValue) {
  if (text.empty()) return defaultValue;
  const char* begin = text.c_str();
  const char* digits = begin;
  bool negative = false;
  if (*digits == '-' || *digits == '+') negative = *digits++ == '-';
  int base = 10;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits += 2;
  }
  if (*digits == '\0' || *digits == '-' || *digits == '+' || *digits == ' ') return defaultValue;
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(digits, &end, base);
  if (*end != '\0' || errno == ERANGE) return defaultValue;
  if (negative) value = -value;
  // Hexadecimal covers the whole 32-bit pattern ("0xFFFFFFFF" is -1).
  if (base == 16 && value > 0x7FFFFFFFLL && value <= 0xFFFFFFFFLL) value -= 0x100000000LL;
  if (value < INT32_MIN || value > INT32_MAX) return defaultValue;
  return static_cast<int>(value);
}

class TIniReader {
 public:
  explicit TIniReader(std::string fileName) : FileName(std::move(fileName)) {}
  std::string String(const char* section, const char* key, const std::string& defaultValue) const {
    return platform::IniReadString(FileName, section, key, defaultValue);
  }
  int Integer(const char* section, const char* key, int defaultValue) const {
    return ParseIniInteger(String(section, key, ""), defaultValue);
  }
  bool Bool(const char* section, const char* key, bool defaultValue) const {
    return Integer(section, key, defaultValue ? 1 : 0) != 0;
  }

 private:
  std::string FileName;
};

// Writes values in order; the first value that cannot be written is reported
// once and the rest are not attempted, so the exit still saves the log.
class TIniWriter {
 public:
  TIniWriter(std::string fileName, IVekView& view) : FileName(std::move(fileName)), View(view) {}
  void String(const char* section, const char* key, const std::string& value) {
    if (Failed) return;
    if (!platform::IniWriteString(FileName, section, key, value)) {
      Failed = true;
      View.ShowMessage(FileName + " に書き込めません");
    }
  }
  void Integer(const char* section, const char* key, int value) { String(section, key, std::to_string(value)); }
  void Bool(const char* section, const char* key, bool value) { String(section, key, value ? "1" : "0"); }
  bool Failed = false;

 private:
  std::string FileName;
  IVekView& View;
};

// A host directory typed into the settings file by hand may lack its final
// separator; every path is built by concatenation, so one is added.
std::string WithTrailingBackslash(std::string dir) {
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

}  // namespace

void TVekMainForm::FormCreate(const std::vector<std::string>& args, const std::string& appPath) {
  TimerPeriod = platform::BeginTimerPeriod();
  AppPath_ = WithTrailingBackslash(appPath.empty() ? platform::ExecutableDirectory() : appPath);
  if (!platform::DirectoryExists(SbjPath())) platform::CreateDirectories(SbjPath());
  for (const std::string& arg : args) {
    if (arg == "/autostart") AutoStartSwitch = true;
    if (arg == "/autoinit") AutoInitSwitch = true;
  }

  const TIniReader ini(IniFileName());
  DorPath_ = WithTrailingBackslash(ini.String(DorSection, "Directory", ""));
  Proxy = ini.String(VekSection, "Proxy", "");
  WindowTop = ini.Integer(WindowSection, "Top", WindowTop);
  WindowLeft = ini.Integer(WindowSection, "Left", WindowLeft);
  WindowWidth = ini.Integer(WindowSection, "Width", WindowWidth);
  WindowHeight = ini.Integer(WindowSection, "Height", WindowHeight);
  WindowMaximized = ini.String(WindowSection, "State", "Normal") != "Normal";
  SetMinStart(ini.Bool(WindowSection, "MinStart", MinStart()));
  SetAutoStart(ini.Bool(VekSection, "AutoStart", AutoStart()));
  SetAutoShutDown(ini.Bool(VekSection, "AutoShutDown", AutoShutDown()));
  SoundName = ini.String(VekSection, "SoundName", SoundName);
  NewIdxName = ini.String(VekSection, "NewIdxName", NewIdxName);

  // Without a host directory there is nothing to list (rather than listing
  // whatever the current directory holds).
  std::vector<std::string> idxFiles;
  if (!DorPath_.empty()) ListIdxFiles(RunSettings(), idxFiles, false);
  IgnoreIdxCheckListBox.Items = idxFiles;
  IgnoreIdxCheckListBox.Checked.assign(idxFiles.size(), false);
  SetIgnoreIdxList(ini.String(VekSection, "IgnoreIdxList", ""));
  SetIconFile(ini.String(VekSection, "IconName", ""));
  IdxComboBox.Items.resize(1);
  IdxComboBox.Items.insert(IdxComboBox.Items.end(), idxFiles.begin(), idxFiles.end());
  View.ComponentChanged(IdxComboBox);
  SetIdxType(ini.Integer(VekSection, "IdxType", 0));

  SetGreedyCheck(ini.Bool(VekSection, "GreedyCheck", GreedyCheck()));
  SetNotifySound(ini.Bool(VekSection, "NotifySound", NotifySound()));
  SetExternalCheck(ini.Bool(VekSection, "ExternalCheck", ExternalCheck()));
  BoardExp = ini.String(VekSection, "BoardExp", BoardExp);
  ThreadExp = ini.String(VekSection, "ThreadExp", ThreadExp);
  SetAutoDorFin(ini.Bool(VekSection, "AutoDorFin", AutoDorFin()));
  SetAutoDorRun(ini.Bool(VekSection, "AutoDorRun", AutoDorRun()));
  SetAutoInit(ini.Bool(VekSection, "AutoInit", AutoInit()));
  SetFailedReport(ini.Bool(VekSection, "FailedReport", FailedReport()));
  TimeOutTime = ini.Integer(VekSection, "TimeOutTime", TimeOutTime);
  // Deployment configuration: an empty value (present but blank) turns it off.
  PrimarySuffixes = ini.String(VekSection, "PrimarySuffixes", PrimarySuffixes);
  RentalDomains = ini.String(VekSection, "RentalDomains", RentalDomains);
  RentalOldHost = ini.String(VekSection, "RentalOldHost", RentalOldHost);

  View.SetTrayImage(-1);
  AddLogLine("Monazilla/1.00 (VEK/3.14.0)");
  AddLogLine("VEK 3.14.0 - subject.txt update checker");
  AddLogLine();
  View.SetApplicationTitle("VEK");

  TouchFile(BanListName());
  TouchFile(SubjectListName());
  TouchFile(NonReportListName());

  if (DorPath_.empty() && platform::FileExists(AppPath_ + "Dorvella.exe")) DorPath_ = AppPath_;
  if (AutoInit() || AutoInitSwitch) InitNewReportMenuClick();
  LastCheckTick = 0;
  CheckInterval = 0;
  if (AutoStart() || AutoStartSwitch) StartCheckTimer(1000);
}

void TVekMainForm::WriteSettings() {
  TIniWriter ini(IniFileName(), View);
  ini.String(DorSection, "Directory", DorPath_);
  ini.String(VekSection, "Proxy", Proxy);
  ini.Bool(VekSection, "AutoStart", AutoStart());
  ini.Bool(VekSection, "AutoShutDown", AutoShutDown());
  if (!WindowMaximized) {
    ini.Integer(WindowSection, "Top", WindowTop);
    ini.Integer(WindowSection, "Left", WindowLeft);
    ini.Integer(WindowSection, "Width", WindowWidth);
    ini.Integer(WindowSection, "Height", WindowHeight);
    ini.String(WindowSection, "State", "Normal");
  } else {
    ini.String(WindowSection, "State", "Maximized");
  }
  ini.Bool(WindowSection, "MinStart", MinStart());
  ini.String(VekSection, "SoundName", SoundName);
  ini.String(VekSection, "NewIdxName", NewIdxName);
  ini.String(VekSection, "IgnoreIdxList", IgnoreIdxList());
  ini.String(VekSection, "IconName", IconName);
  ini.Integer(VekSection, "IdxType", IdxType());
  ini.Bool(VekSection, "GreedyCheck", GreedyCheck());
  ini.Bool(VekSection, "NotifySound", NotifySound());
  ini.Bool(VekSection, "ExternalCheck", ExternalCheck());
  ini.String(VekSection, "BoardExp", BoardExp);
  ini.String(VekSection, "ThreadExp", ThreadExp);
  ini.Bool(VekSection, "AutoDorFin", AutoDorFin());
  ini.Bool(VekSection, "AutoDorRun", AutoDorRun());
  ini.Bool(VekSection, "AutoInit", AutoInit());
  ini.Bool(VekSection, "FailedReport", FailedReport());
  ini.Integer(VekSection, "TimeOutTime", TimeOutTime);
  ini.String(VekSection, "PrimarySuffixes", PrimarySuffixes);
  ini.String(VekSection, "RentalDomains", RentalDomains);
  ini.String(VekSection, "RentalOldHost", RentalOldHost);
}

void TVekMainForm::FormDestroy() {
  SettingsLock.Close();
  const std::string iniName = IniFileName();
  try {
    if (platform::FileExists(iniName)) platform::SetReadOnly(iniName, false);
    const SystemTime lastRun = GetFileWriteTime(iniName);
    WriteSettings();
    // A time that could not be read (year 0) is not written back over the
    // real one.
    if (lastRun.Year != 0) SetFileWriteTime(iniName, lastRun);
  } catch (const std::exception& e) {
    // The log is still saved below.
    View.ShowMessage(e.what());
  }

  std::string logText;
  for (const std::string& line : LogMemo.Lines) logText += line + "\r\n";
  try {
    platform::ReplaceFileAtomically(LogFileName(), logText);
  } catch (const std::exception& e) {
    View.ShowMessage(e.what());
  }
  View.RemoveTrayIcon();
  platform::EndTimerPeriod(TimerPeriod);
}

}  // namespace vek
