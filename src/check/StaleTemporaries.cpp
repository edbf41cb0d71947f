// The sweep of stale temporary files over the folders a run writes into.
#include "check/StaleTemporaries.h"

#include <string_view>
#include <unordered_set>

#include "platform/Files.h"
#include "reports/ReportBoards.h"
#include "support/Paths.h"
#include "support/SjisText.h"

namespace vek {

namespace {
// The length of the path's folder part with its last separator ("\" at
// character boundaries, or "/", which is never part of a character); 0 when
// the path has no folder part.
size_t FolderLength(std::string_view path) {
  const size_t backslash = SjisFindLast(path, '\\'), slash = path.rfind('/');
  size_t last = backslash;
  if (last == std::string_view::npos || (slash != std::string_view::npos && slash > last)) last = slash;
  return last == std::string_view::npos ? 0 : last + 1;
}
}  // namespace

int SweepRunFolders(const TRunSettings& settings) {
  int removed = platform::RemoveStaleTemporaryFiles(settings.AppPath);
  removed += platform::RemoveStaleTemporaryFiles(settings.SbjPath());
  if (settings.DorPath.empty()) return removed;
  const std::string arrivals = settings.NewArrivalListName();
  if (FolderLength(arrivals) > 0) removed += platform::RemoveStaleTemporaryFiles(arrivals.substr(0, FolderLength(arrivals)));
  removed += platform::RemoveStaleTemporaryFiles(settings.LogPath() + ReportDirectory);
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
    const std::string_view folder = std::string_view(path).substr(0, FolderLength(path));
    if (seen.insert(folder).second) removed += platform::RemoveStaleTemporaryFiles(logPath + std::string(folder));
  }
  return removed;
}

}  // namespace vek
