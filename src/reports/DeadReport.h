// Step 6 of a check run: publishes the threads that fell from their boards as
// the dead-thread report board (localhost\vek\1030000000).
#pragma once
#include <string>

#include "reports/RunContext.h"
#include "support/StringList.h"

namespace vek {

// Replaces both report files when deadList is not empty; does nothing otherwise.
void WriteDeadReport(const TRunContext& run, const TStringList& deadList);

// The report's second line (no line end) for the given thread paths, titles
// read from their index files under logPath.
std::string DeadReportBody(const std::string& logPath, const TStringList& deadList, const std::string& timeStamp);

}  // namespace vek
