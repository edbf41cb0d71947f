// The two report boards' fixed texts and index records, the new-thread report
// reset and the snapshot rebuild.
#include "reports/ReportBoards.h"

#include "platform/Files.h"

namespace vek {

namespace {

constexpr const char* ReportName = "<b>VEK</b>";
constexpr const char* NewReportBody = "物凄い勢いで新しく立ったスレッドを紹介するスレッド。";
constexpr const char* NewReportTitle = "物凄い勢いで新しいスレを紹介するスレ";
constexpr const char* DeadReportBody = "また～りとDAT落ちしたスレッドを紹介するスレッド。";
constexpr const char* DeadReportTitle = "また～りとDAT落ちしたスレを紹介するスレ";
constexpr const char* NextReportBody = "せっせと次スレを探して紹介するスレッド。";
constexpr const char* NextReportTitle = "せっせと次スレを紹介するスレ";

std::string FirstLine(const std::string& timeStamp, const char* body, const char* title) {
  return std::string(ReportName) + ",," + timeStamp + "," + body + "," + title;
}

TIndexFields IndexFields(const std::string& timeStamp, const char* title, const char* key, const char* lines) {
  return TIndexFields{"3",  "32", "5", title, ReportHost, ReportBoard, key, lines, lines, "1", timeStamp,
                      "",   "VEK", "0", "",   "",          "0",   "",  "",    "",    ""};
}

}  // namespace

std::string NewReportFirstLine(const std::string& timeStamp) {
  return FirstLine(timeStamp, NewReportBody, NewReportTitle);
}

std::string DeadReportFirstLine(const std::string& timeStamp) {
  return FirstLine(timeStamp, DeadReportBody, DeadReportTitle);
}

std::string NextReportFirstLine(const std::string& timeStamp) {
  return FirstLine(timeStamp, NextReportBody, NextReportTitle);
}

TIndexFields NextReportIndexFields(const std::string& timeStamp) {
  return IndexFields(timeStamp, NextReportTitle, NextReportKey, "2");
}

TIndexFields NewReportIndexFields(const std::string& timeStamp) {
  return IndexFields(timeStamp, NewReportTitle, NewReportKey, "1");
}

TIndexFields DeadReportIndexFields(const std::string& timeStamp) {
  return IndexFields(timeStamp, DeadReportTitle, DeadReportKey, "2");
}

void RebuildSnapshots(const std::string& sbjPath) {
  for (const std::string& name : platform::ListFilesBySuffix(sbjPath, ".txt")) WriteSnapshotFile(sbjPath + name);
}

void InitNewReport(const TRunContext& run) {
  const TRunSettings& settings = run.Settings;
  if (!platform::DirectoryExists(settings.LogPath())) return;
  platform::CreateDirectories(settings.LogPath() + ReportDirectory());
  const std::string timeStamp = TimeStamp(run.Env.LocalNow());
  platform::ReplaceFileAtomically(settings.NewReportDatName(), NewReportFirstLine(timeStamp));
  WriteReportIndex(settings.NewReportIdxName(), NewReportIndexFields(timeStamp));
  RebuildSnapshots(settings.SbjPath());
}

}  // namespace vek
