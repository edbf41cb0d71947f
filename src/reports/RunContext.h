// What the steps of a check run (src/reports and src/check) get from the
// program: its paths, the settings they read, the log pane with the message
// pump, and the clock. The run builds it from the main window at its start;
// the steps never see the window itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Env.h"

namespace vek {

// The log pane as the steps use it, and the pump that keeps the window
// alive during their long loops.
class IRunLog {
 public:
  virtual ~IRunLog() = default;
  virtual void AddLogLine(const std::string& text = "") = 0;
  virtual void AppendToLogLine(const std::string& text) = 0;
  virtual void ProcessMessages() = 0;
};

// The program directory, the host directory and every file named from them.
// Directories end in "\"; DorPath is empty while the host browser is not set up.
struct TProgramPaths {
  std::string AppPath;
  std::string DorPath;
  std::string NewIdxName = "$$$$$$$$.idx";

  std::string SbjPath() const { return AppPath + "subject\\"; }
  std::string LogPath() const { return DorPath + "log\\"; }
  std::string IniFileName() const { return AppPath + "vek.ini"; }
  std::string LogFileName() const { return AppPath + "veklog.txt"; }
  std::string BanListName() const { return AppPath + "ban_list.txt"; }
  std::string SubjectListName() const { return AppPath + "subject_list.txt"; }
  std::string NonReportListName() const { return AppPath + "non_report_list.txt"; }
  std::string FailedListName() const { return AppPath + "failed.txt"; }
  std::string NewArrivalListName() const { return DorPath + NewIdxName; }
  std::string NewReportDatName() const { return LogPath() + "localhost\\vek\\1000000000.dat"; }
  std::string NewReportIdxName() const { return LogPath() + "localhost\\vek\\1000000000.idx"; }
  std::string DeadReportDatName() const { return LogPath() + "localhost\\vek\\1030000000.dat"; }
  std::string DeadReportIdxName() const { return LogPath() + "localhost\\vek\\1030000000.idx"; }
};

// The settings a run reads, as they stand when it starts (the commands that
// change them are disabled while it lasts).
struct TRunSettings : TProgramPaths {
  std::string Proxy;
  int TimeOutTime = 15;
  bool ExternalCheck = true;
  bool GreedyCheck = true;
  bool NotifySound = true;
  bool FailedReport = true;
  bool MarkFallen = false;             // the fallen mark for this program start only
  std::string IgnoreIdxList;           // ticked thread list files, each followed by ";"
  int IdxType = 0;                     // the index selector's item number (0: every file)
  std::string IdxTypeName;             // that item's text; empty when nothing is selected
  std::string SoundName;
  std::string IconName;
  std::string BoardExp;
  std::string ThreadExp;
  std::vector<std::string> PrimarySuffixes;
  std::vector<std::string> RentalDomains;
  std::string RentalOldHost;
  uint32_t TimerPeriod = 0;            // the timer resolution asked for at start-up
  int CheckEvery = 0;                  // minutes between periodic checks (0: none)
  bool NotifyBalloon = false;          // the tray's notice after a run
};

struct TRunContext {
  TRunSettings Settings;
  IRunLog& Log;
  platform::TEnv& Env;
};

}  // namespace vek
