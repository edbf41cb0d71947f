// The commands that act on the host browser itself: starting it, closing its
// main window, and the log backup. None of them writes to the log pane or
// shows a message of its own; a stopped backup reaches the user as the
// exception it throws.
#include <initializer_list>

#include "platform/Files.h"
#include "platform/Shell.h"
#include "shell/LogBackup.h"
#include "shell/VekMainForm.h"

namespace vek {

void TVekMainForm::StartHostBrowser() {
  if (DorPath().empty()) return;
  for (const char* name : {"mirl.exe", "Dorvella.exe"}) {
    const std::string exe = DorPath() + name;
    if (platform::FileExists(exe)) {
      // Not waited for, and a failed start is not reported.
      platform::StartProgram(exe, DorPath());
      return;
    }
  }
}

void TVekMainForm::CloseHostBrowser() { platform::CloseTopLevelWindow("TDorvellaMainForm"); }

void TVekMainForm::BackupMenuClick() {
  // Without a host directory the paths would name the current directory.
  if (DorPath().empty()) throw TBackupStop("Dorvellaのディレクトリが設定されていません");
  BackupFallenThreads(DorPath(), [this](const std::string& threadPath) {
    AddLogLine("  Refused thread path outside the log directory: " + threadPath);
  });
}

}  // namespace vek
