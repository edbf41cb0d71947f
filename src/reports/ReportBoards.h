// The report boards' fixed content, the new-thread report reset and the
// snapshot rebuild of the subject cache.
#pragma once
#include <string>

#include "reports/HostLog.h"
#include "reports/RunContext.h"

namespace vek {

// Recreates the new-thread report as a thread of one response and takes a
// fresh snapshot of every cached board. Does nothing when the log directory
// is missing.
void InitNewReport(const TRunContext& run);

// Rewrites the snapshot file of every subject cache file in sbjPath.
void RebuildSnapshots(const std::string& sbjPath);

// First line of a report's .dat (no line end) and its index fields when created.
std::string NewReportFirstLine(const std::string& timeStamp);
std::string DeadReportFirstLine(const std::string& timeStamp);
TIndexFields NewReportIndexFields(const std::string& timeStamp);
TIndexFields DeadReportIndexFields(const std::string& timeStamp);
std::string NextReportFirstLine(const std::string& timeStamp);
TIndexFields NextReportIndexFields(const std::string& timeStamp);

}  // namespace vek
