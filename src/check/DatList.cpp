// Building the Dat list from the host directory's thread list files.
#include "check/DatList.h"

#include "platform/Collate.h"
#include "platform/Files.h"
#include "platform/UserPaths.h"
#include "reports/HostLog.h"
#include "support/SjisText.h"

namespace vek {

namespace {

// Removes the first name equal to the given one, ignoring case.
void RemoveFirstNamed(std::vector<std::string>& names, const std::string& name) {
  for (auto it = names.begin(); it != names.end(); ++it) {
    if (platform::CompareTextNoCase(*it, name) == 0) {
      names.erase(it);
      return;
    }
  }
}

std::vector<std::string> ChooseIdxFiles(const TRunSettings& settings, bool firstGeneration) {
  std::vector<std::string> idxList;
  if (firstGeneration && settings.IdxType > 0 && !settings.IdxTypeName.empty()) {
    idxList.push_back(settings.IdxTypeName);
  } else {
    ListIdxFiles(settings, idxList, firstGeneration);
  }
  return idxList;
}

}  // namespace

bool IsPrimaryNetwork(const TRunSettings& settings, const std::string& entry) {
  for (const std::string& suffix : settings.PrimarySuffixes) {
    if (SjisFindText(entry, suffix) != std::string::npos) return true;
  }
  return false;
}

void ListIdxFiles(const TRunSettings& settings, std::vector<std::string>& target, bool leaveOutIgnored) {
  const std::vector<std::string> found = platform::ListFilesBySuffix(settings.DorPath, ".idx");
  if (found.empty()) return;
  // A plain substring test on the joined text: a name that is part of a
  // longer ticked name counts as ticked too.
  for (const std::string& name : found) {
    if (leaveOutIgnored && settings.IgnoreIdxList.find(name) != std::string::npos) continue;
    target.push_back(name);
  }
  RemoveFirstNamed(target, "favboard.idx");
  RemoveFirstNamed(target, settings.NewIdxName);
}

bool IsCheckedNetwork(const TRunSettings& settings, const std::string& entry) {
  return settings.Fetch.ExternalCheck || IsPrimaryNetwork(settings, entry);
}

bool IsOpenThread(const TRunSettings& settings, const std::string& entry) {
  if (!IsSafeRelativePath(entry)) return false;
  const std::string path = settings.LogPath() + entry;
  if (!platform::FileExists(path)) return false;
  // A flags field that is not a number counts as fallen.
  return (ReadIndexFlags(path, FallenFlag) & FallenFlag) == 0;
}

void GenerateDatList(const TRunContext& run, TStringList& datList, bool firstGeneration) {
  const TRunSettings& settings = run.Settings;
  datList.Sorted = true;
  run.Log.AddLogLine("  Generate Idx List ... ");
  const std::vector<std::string> idxList = ChooseIdxFiles(settings, firstGeneration);
  run.Log.AppendToLogLine("done");
  // Collected first and sorted once: tens of thousands of threads are common.
  std::vector<std::string> entries;
  for (const std::string& name : idxList) {
    const std::string fileName = settings.DorPath + name;
    run.Log.AddLogLine("  Read: " + platform::DisplayPath(fileName));
    for (const std::string& line : ReadThreadListFile(fileName)) {
      run.Log.ProcessMessages();
      if (line.empty() || !IsCheckedNetwork(settings, line)) continue;
      if (!IsSafeRelativePath(line)) {
        run.Log.AddLogLine("  Refused thread path outside the log directory: " + line);
        continue;
      }
      if (IsOpenThread(settings, line)) entries.push_back(line);
    }
  }
  datList.AddAll(std::move(entries));
}

}  // namespace vek
