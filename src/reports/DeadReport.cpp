// The dead-thread report: a board of two responses, the second listing every
// thread that fell from its board in this run with its title and a link.
#include "reports/DeadReport.h"

#include "platform/Files.h"
#include "reports/HostLog.h"
#include "reports/ReportBoards.h"

namespace vek {

// A file that vanished since the run began gets the path too: one missing
// file must not cost the whole report.
std::string TitleOfThread(const std::string& logPath, const std::string& threadPath) {
  const std::string indexName = logPath + threadPath;
  std::string title;
  if (IsSafeRelativePath(threadPath) && platform::FileExists(indexName) &&
      IndexItemOf(platform::ReadWholeFile(indexName), TitleField, title))
    return title;
  return indexName;
}

std::string DeadReportBody(const std::string& logPath, const TStringList& deadList, const std::string& timeStamp) {
  std::string line = "<b>VEK</b>,," + timeStamp + ",";
  for (int i = 0; i < deadList.Count(); ++i) {
    const std::string& path = deadList[i];
    line += EscapeCommas(TitleOfThread(logPath, path));
    line += "<BR>";
    line += MakeLink(ThreadUrlOfPath(path));
    line += (i + 1 < deadList.Count()) ? "<BR><BR>" : ",";
  }
  return line;
}

void WriteDeadReport(const TRunContext& run, const TStringList& deadList) {
  if (deadList.Count() == 0) return;
  const std::string logPath = run.Settings.LogPath();
  platform::CreateDirectories(logPath + ReportDirectory());
  const std::string timeStamp = TimeStamp(run.Env.LocalNow());
  std::string dat = DeadReportFirstLine(timeStamp);
  dat += "\r\n";
  dat += DeadReportBody(logPath, deadList, timeStamp);
  platform::ReplaceFileAtomically(run.Settings.DeadReportDatName(), dat);
  WriteReportIndex(run.Settings.DeadReportIdxName(), DeadReportIndexFields(timeStamp));
}

}  // namespace vek
