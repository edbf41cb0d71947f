// The Dat list: the watched threads of the selected thread list files that
// are still open, sorted without regard to case and without duplicates.
#pragma once
#include <string>
#include <vector>

#include "reports/RunContext.h"
#include "support/StringList.h"

namespace vek {

// Fills datList (which the caller passes empty). The first generation honours
// the index selector and the ignore list; a regeneration reads every file.
void GenerateDatList(const TRunContext& run, TStringList& datList, bool firstGeneration);

// Appends the host directory's thread list files to target; with
// leaveOutIgnored set, names occurring in the ignore-list text are skipped.
// "favboard.idx" and the new-arrival list are never listed.
void ListIdxFiles(const TRunSettings& settings, std::vector<std::string>& target, bool leaveOutIgnored);

bool IsCheckedNetwork(const TRunSettings& settings, const std::string& entry);
// True when the entry's index file exists and is not marked fallen.
bool IsOpenThread(const TRunSettings& settings, const std::string& entry);

// True when the entry contains one of the primary network's domain suffixes.
bool IsPrimaryNetwork(const TRunSettings& settings, const std::string& entry);

}  // namespace vek
