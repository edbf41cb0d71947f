// What a check run found, in four counts: the watched threads with new
// responses, the watched threads that fell from their boards, the new threads
// the new-thread report listed, and the boards that were skipped or failed.
// The tray's completion notice and `vek check --summary` show them.
#pragma once
#include <string>

#include "check/CheckRun.h"

namespace vek {

struct TRunSummary {
  int Updated = 0;       // threads with news (the new-arrival list without the report boards)
  int Fallen = 0;        // the dead-thread report's threads
  int NewThreads = 0;    // the new-thread report's entries of this run
  int FailedBoards = 0;  // the lines of failed.txt
};

// The counts of a completed run, from the lists its files were written from.
TRunSummary SummarizeRun(const TRunResult& result);

// "新着 3 / DAT落ち 1 / 新スレ 12"; when a board failed, "取得失敗 2板" follows
// on a second line (separated by lineBreak) or, with lineBreak " / ", on the same.
std::string SummaryText(const TRunSummary& summary, const std::string& lineBreak = "\n");

}  // namespace vek
