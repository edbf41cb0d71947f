// The sweep of stale temporary files over the folders a run writes into.
#include "check/StaleTemporaries.h"

#include <string_view>
#include <unordered_set>

#include "platform/Files.h"
#include "reports/ReportBoards.h"
#include "support/Paths.h"

namespace vek {

int SweepRunFolders(const TRunSettings& settings) {
  int removed = platform::RemoveStaleTemporaryFiles(settings.AppPath);
  removed += platform::RemoveStaleTemporaryFiles(settings.SbjPath());
  if (settings.DorPath.empty()) return removed;
  const std::string arrivals = settings.NewArrivalListName();
  if (const std::string_view folder = ExtractFilePath(arrivals); !folder.empty())
    removed += platform::RemoveStaleTemporaryFiles(std::string(folder));
  removed += platform::RemoveStaleTemporaryFiles(settings.LogPath() + ReportDirectory());
  return removed;
}

int SweepThreadFolders(const TRunSettings& settings, const TStringList& datList) {
  if (settings.DorPath.empty()) return 0;
  const std::string logPath = settings.LogPath();
  std::unordered_set<std::string_view> seen;
  int removed = 0;
  for (const std::string& path : datList.Items) {
    // The count update refuses an unsafe path; nothing is written there.
    if (!IsSafeRelativePath(path)) continue;
    const std::string_view folder = ExtractFilePath(path);
    if (seen.insert(folder).second) removed += platform::RemoveStaleTemporaryFiles(logPath + std::string(folder));
  }
  return removed;
}

}  // namespace vek
