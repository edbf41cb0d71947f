// Start-up and exit of the main window: the settings file is read once while
// the window is created and written once when it is destroyed, keeping the
// file's last-write time, which records the end of the last check run.
#include "check/DatList.h"
#include "check/NextCheck.h"
#include "check/StaleTemporaries.h"
#include "platform/Clock.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "shell/Settings.h"
#include "shell/VekMainForm.h"
#include "support/Version.h"
#include "support/funcs.h"

namespace vek {

void TVekMainForm::FormCreate(const std::vector<std::string>& args, const std::string& appPath) {
  TimerPeriod = TimerPeriodHold.Begin();
  AppPath_ = WithTrailingBackslash(appPath.empty() ? platform::ExecutableDirectory() : appPath);
  if (!platform::DirectoryExists(Paths().SbjPath())) platform::CreateDirectories(Paths().SbjPath());
  for (const std::string& arg : args) {
    if (arg == "/autostart") AutoStartSwitch = true;
    if (arg == "/autoinit") AutoInitSwitch = true;
    if (arg == "/tray") TraySwitch = true;
  }

  ReadSettings(*this, TReadStage::BeforeLists);

  // Without a host directory there is nothing to list (rather than listing
  // whatever the current directory holds).
  std::vector<std::string> idxFiles;
  if (!DorPath_.empty()) ListIdxFiles(RunSettings(), idxFiles, false);
  IgnoreIdxCheckListBox.Items = idxFiles;
  IgnoreIdxCheckListBox.Checked.assign(idxFiles.size(), false);
  ReadSettings(*this, TReadStage::BeforeSelector);
  IdxComboBox.Items.resize(1);
  IdxComboBox.Items.insert(IdxComboBox.Items.end(), idxFiles.begin(), idxFiles.end());
  View.ComponentChanged(IdxComboBox);
  ReadSettings(*this, TReadStage::Rest);

  View.SetTrayImage(TrayOwnIcon);
  SetMenuCheck(StartWithWindowsMenu, View.StartsWithWindows());
  AddLogLine(UserAgentText);
  AddLogLine(std::string("VEK ") + VersionText + " - subject.txt update checker");
  AddLogLine();
  View.SetApplicationTitle(IdleTitle);

  TouchFile(Paths().BanListName());
  TouchFile(Paths().SubjectListName());
  TouchFile(Paths().NonReportListName());

  // Beside the settings, or beside the program when its folder could not
  // hold them.
  for (const std::string& dir : {AppPath_, WithTrailingBackslash(platform::ExecutableDirectory())})
    if (DorPath_.empty() && platform::FileExists(dir + "Dorvella.exe")) DorPath_ = dir;
  // What a killed program left beside the settings, the log or the reports.
  SweepRunFolders(RunSettings());
  if (AutoInit() || AutoInitSwitch) InitNewReportMenuClick();
  RunState.Reset();
  if (AutoStart() || AutoStartSwitch) {
    StartCheckTimer(CheckStartDelay);
  } else {
    ArmPeriodicCheck(false);
  }
}

bool TVekMainForm::FormDestroy() {
  RunState.Reset();
  const std::string iniName = Paths().IniFileName();
  bool saved = true;
  try {
    if (platform::FileExists(iniName)) platform::SetReadOnly(iniName, false);
    const SystemTime lastRun = GetFileWriteTime(iniName);
    saved = WriteSettings(*this);
    // A time that could not be read (year 0) is not written back over the
    // real one.
    if (lastRun.Year != 0) SetFileWriteTime(iniName, lastRun);
  } catch (const std::exception& e) {
    // The log is still saved below.
    View.ShowMessage(DisplayText(e));
    saved = false;
  }

  std::string logText;
  for (const std::string& line : LogMemo.Lines) logText += line + "\r\n";
  try {
    platform::ReplaceFileAtomically(Paths().LogFileName(), logText);
  } catch (const std::exception& e) {
    View.ShowMessage(DisplayText(e));
    saved = false;
  }
  View.RemoveTrayIcon();
  TimerPeriodHold.End();
  return saved;
}

}  // namespace vek
