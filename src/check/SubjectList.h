// The Subject list: one line "URL=count" per board to download, starting with
// the user's "subject_list.txt" and adding the board of every watched thread.
#pragma once
#include <string>

#include "reports/RunContext.h"
#include "support/StringList.h"

namespace vek {

void GenerateSubjectList(const TRunContext& run, TStringList& subjectList, const TStringList& datList);
// The URL of the entry's board list; empty when the entry yields none (an
// external index file with too few fields, or host/board fields that would
// lead outside the cache), which is logged.
std::string SubjectUrlOfEntry(const TRunContext& run, const std::string& entry);
void CountBoardEntry(TStringList& subjectList, const std::string& url);

}  // namespace vek
