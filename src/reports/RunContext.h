// What the steps of a check run (src/reports and src/check) get from the
// program: its paths, the settings they read, the log pane with the message
// pump, and the clock. The run builds it from the main window at its start;
// the steps never see the window itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "fetch/SubjectFetch.h"
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

// The report boards: a host and board of their own under the log directory,
// one thread each, named by its key.
inline constexpr char ReportHost[] = "localhost";
inline constexpr char ReportBoard[] = "vek";
inline constexpr char NewReportKey[] = "1000000000";
inline constexpr char DeadReportKey[] = "1030000000";
inline constexpr char NextReportKey[] = "1020000000";
// A report board's file relative to the log directory, as the new-arrival
// list names it: "localhost\vek\KEY" and the extension.
inline std::string ReportDirectory() { return std::string(ReportHost) + "\\" + ReportBoard; }
inline std::string ReportFileName(const char* key, const char* extension) {
  return ReportDirectory() + "\\" + key + extension;
}

// The program directory, the host directory and every file named from them.
// Directories end in "\"; DorPath is empty while the host browser is not set up.
inline constexpr char DefaultNewIdxName[] = "$$$$$$$$.idx";

struct TProgramPaths {
  std::string AppPath;
  std::string DorPath;
  std::string NewIdxName = DefaultNewIdxName;

  std::string SbjPath() const { return AppPath + "subject\\"; }
  std::string LogPath() const { return DorPath + "log\\"; }
  std::string IniFileName() const { return AppPath + "vek.ini"; }
  std::string LogFileName() const { return AppPath + "veklog.txt"; }
  std::string BanListName() const { return AppPath + "ban_list.txt"; }
  std::string SubjectListName() const { return AppPath + "subject_list.txt"; }
  std::string NonReportListName() const { return AppPath + "non_report_list.txt"; }
  std::string FailedListName() const { return AppPath + "failed.txt"; }
  std::string NewArrivalListName() const { return DorPath + NewIdxName; }
  std::string NewReportDatName() const { return LogPath() + ReportFileName(NewReportKey, ".dat"); }
  std::string NewReportIdxName() const { return LogPath() + ReportFileName(NewReportKey, ".idx"); }
  std::string DeadReportDatName() const { return LogPath() + ReportFileName(DeadReportKey, ".dat"); }
  std::string DeadReportIdxName() const { return LogPath() + ReportFileName(DeadReportKey, ".idx"); }
  std::string NextReportDatName() const { return LogPath() + ReportFileName(NextReportKey, ".dat"); }
  std::string NextReportIdxName() const { return LogPath() + ReportFileName(NextReportKey, ".idx"); }
};

// The settings a run reads, as they stand when it starts (the commands that
// change them are disabled while it lasts).
struct TRunSettings : TProgramPaths {
  TFetchSettings Fetch;                // what the board downloads read
  bool GreedyCheck = true;
  bool FailedReport = true;
  bool AutoDorFin = false;             // close the host browser at the start
  bool AutoDorRun = false;             // start it at the end
  bool MarkFallen = false;             // the fallen mark for this program start only
  std::string IgnoreIdxList;           // ticked thread list files, each followed by ";"
  int IdxType = 0;                     // the index selector's item number (0: every file)
  std::string IdxTypeName;             // that item's text; empty when nothing is selected
  std::string BoardExp;
  std::string ThreadExp;
  std::vector<std::string> PrimarySuffixes;
  bool NextThreadReport = false;       // the next-thread report board
  int NextThreadAt = 1000;             // a thread with this many responses is full (0: none is)
};

struct TRunContext {
  TRunSettings Settings;
  IRunLog& Log;
  platform::TEnv& Env;
};

}  // namespace vek
