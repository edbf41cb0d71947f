// Step 6 of a check run: publishes the threads that fell from their boards as
// the dead-thread report board (localhost\vek\1030000000).
#pragma once
#include <string>

#include "reports/RunContext.h"
#include "support/StringList.h"

namespace vek {

// Replaces both report files when deadList is not empty; does nothing otherwise.
void WriteDeadReport(const TRunContext& run, const TStringList& deadList);

// Item 3 of the thread's index file under logPath, or the file's full path
// when it has no such item.
std::string TitleOfThread(const std::string& logPath, const std::string& threadPath);

// The report's second line (no line end) for the given thread paths, titles
// read from their index files under logPath.
std::string DeadReportBody(const std::string& logPath, const TStringList& deadList, const std::string& timeStamp);

}  // namespace vek
