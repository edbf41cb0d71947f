// The counts of a run and their short text.
#include "check/RunSummary.h"

namespace vek {

TRunSummary SummarizeRun(const TRunResult& result) {
  TRunSummary summary;
  summary.Updated = static_cast<int>(result.UpdatedThreads.size());
  summary.Fallen = static_cast<int>(result.FallenThreads.size());
  summary.NewThreads = result.NewThreads;
  summary.FailedBoards = static_cast<int>(result.FailedBoards.size());
  return summary;
}

std::string SummaryText(const TRunSummary& summary, const std::string& lineBreak) {
  std::string text = "新着 " + std::to_string(summary.Updated) + " / DAT落ち " + std::to_string(summary.Fallen) +
                     " / 新スレ " + std::to_string(summary.NewThreads);
  if (summary.FailedBoards > 0) text += lineBreak + "取得失敗 " + std::to_string(summary.FailedBoards) + "板";
  return text;
}

}  // namespace vek
