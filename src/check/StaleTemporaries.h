// Removing the temporary files that a killed or crashed run left beside the
// files it was replacing, in the folders a run writes into, so that they do
// not pile up run after run.
#pragma once
#include <string>

#include "reports/RunContext.h"
#include "support/StringList.h"

namespace vek {

// The program folder (settings, log, failed.txt), the subject cache, the host
// folder (the new-arrival list) and the report boards' folder. Answers how
// many files were removed.
int SweepRunFolders(const TRunSettings& settings);

// The folders of the watched threads' index files under the log directory,
// each listed once however many threads it holds.
int SweepThreadFolders(const TRunSettings& settings, const TStringList& datList);

}  // namespace vek
