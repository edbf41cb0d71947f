// Step 5 of a check run: writes each watched thread's response count from its
// board's subject cache into its index file, collects the threads with news
// (UpdateList) and the threads that fell from their boards (DeadList), which
// get their fallen mark at the end of the run.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reports/HostLog.h"
#include "reports/RunContext.h"
#include "support/StringList.h"

namespace vek {

// A watched thread that fell from its board or filled up, and its board.
struct TEndedThread {
  std::string Path;           // thread path
  std::string CacheFileName;  // its board's subject cache file, without directory
  int Count = -1;             // its count on the server; -1: it fell
  // The title from its index file, when the count update read it (a full
  // thread's file is read for its count; a fallen one's is not).
  std::optional<std::string> Title;
};

// Appends to updateList and deadList, in datList order. With ended given,
// also every thread that fell and every one whose count reaches the setting
// NextThreadAt (when above 0), in datList order.
void UpdateResCounts(const TRunContext& run, const TStringList& datList, TStringList& updateList,
                     TStringList& deadList, std::vector<TEndedThread>* ended = nullptr);

// With the fallen-thread option on, gives every thread of deadList the fallen
// mark (flag 16), which takes it out of every later run. The driver calls it
// once the run's reports and new-arrival list are written: a run killed
// before then leaves its fallen threads watched, and the next run reports
// them, instead of losing them with the reports it never wrote.
void MarkFallenThreads(const TRunContext& run, const TStringList& deadList);

// Name of the subject cache file (without directory) that holds the board of a
// thread path; primarySuffixes decide whether the board comes from the path or
// from items 4 and 5 of its index file under logPath. Empty when no safe name
// can be formed (an unsafe path, an index file without host and board).
std::string CacheFileNameOfThread(std::string_view threadPath, const std::string& logPath,
                                  const std::vector<std::string>& primarySuffixes);

// The server's response count of a subject line: the number between the last
// "(" and the final ")", or -1.
int CountOfSubjectLine(std::string_view line);

// The whole index file after the server reported count responses: fields 7
// to 9 of its record follow the news rules, the record is written in the
// rewritten form and every further line follows with CR LF. Built into
// newText (its buffer is reused from thread to thread); true when the thread
// then has news.
bool RewriteServerCount(std::string_view indexText, int count, std::string& newText);

}  // namespace vek
