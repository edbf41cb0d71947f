// Building the Dat list from the host directory's thread list files.
#include "check/DatList.h"

#include <algorithm>

#include "platform/Collate.h"
#include "platform/Files.h"
#include "platform/UserPaths.h"
#include "reports/HostLog.h"
#include "shell/VekMainForm.h"
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

std::vector<std::string> ChooseIdxFiles(TVekMainForm& form, bool firstGeneration) {
  std::vector<std::string> idxList;
  const auto& combo = form.IdxComboBox;
  if (firstGeneration && combo.ItemIndex > 0 && combo.ItemIndex < static_cast<int>(combo.Items.size())) {
    idxList.push_back(combo.Items[static_cast<size_t>(combo.ItemIndex)]);
  } else {
    ListIdxFiles(form, idxList, firstGeneration);
  }
  return idxList;
}

}  // namespace

bool IsPrimaryNetwork(const TVekMainForm& form, const std::string& entry) {
  for (const std::string& suffix : form.PrimarySuffixList()) {
    if (SjisFindText(entry, suffix) != std::string::npos) return true;
  }
  return false;
}

void ListIdxFiles(TVekMainForm& form, std::vector<std::string>& target, bool leaveOutIgnored) {
  const std::vector<std::string> found = platform::ListFilesBySuffix(form.DorPath(), ".idx");
  if (found.empty()) return;
  // A plain substring test on the joined text: a name that is part of a
  // longer ticked name counts as ticked too.
  const std::string ignored = form.IgnoreIdxList();
  for (const std::string& name : found) {
    if (leaveOutIgnored && ignored.find(name) != std::string::npos) continue;
    target.push_back(name);
  }
  RemoveFirstNamed(target, "favboard.idx");
  RemoveFirstNamed(target, form.NewIdxName);
}

bool IsCheckedNetwork(TVekMainForm& form, const std::string& entry) {
  return form.ExternalCheck() || IsPrimaryNetwork(form, entry);
}

bool IsOpenThread(TVekMainForm& form, const std::string& entry) {
  if (!IsSafeRelativePath(entry)) return false;
  const std::string path = form.LogPath() + entry;
  if (!platform::FileExists(path)) return false;
  // A flags field that is not a number counts as fallen.
  return (ReadIndexFlags(path, FallenFlag) & FallenFlag) == 0;
}

namespace {

// The same result as adding each entry to the sorted list in turn (the first
// of entries equal but for case wins), without moving the list's tail on
// every insertion: tens of thousands of threads are common.
void AddAllSorted(TStringList& datList, std::vector<std::string> entries) {
  std::vector<std::string> all = std::move(datList.Items);
  all.insert(all.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
  const auto less = [](const std::string& a, const std::string& b) { return platform::CompareTextNoCase(a, b) < 0; };
  std::stable_sort(all.begin(), all.end(), less);
  const auto same = [](const std::string& a, const std::string& b) { return platform::CompareTextNoCase(a, b) == 0; };
  all.erase(std::unique(all.begin(), all.end(), same), all.end());
  datList.Items = std::move(all);
  datList.Sorted = true;
}

}  // namespace

void GenerateDatList(TVekMainForm& form, TStringList& datList, bool firstGeneration) {
  datList.Sorted = true;
  form.AddLogLine("  Generate Idx List ... ");
  const std::vector<std::string> idxList = ChooseIdxFiles(form, firstGeneration);
  form.AppendToLogLine("done");
  std::vector<std::string> entries;
  for (const std::string& name : idxList) {
    const std::string fileName = form.DorPath() + name;
    form.AddLogLine("  Read: " + platform::DisplayPath(fileName));
    for (const std::string& line : ReadThreadListFile(fileName)) {
      form.View.ProcessMessages();
      if (line.empty() || !IsCheckedNetwork(form, line)) continue;
      if (!IsSafeRelativePath(line)) {
        form.AddLogLine("  Refused thread path outside the log directory: " + line);
        continue;
      }
      if (IsOpenThread(form, line)) entries.push_back(line);
    }
  }
  AddAllSorted(datList, std::move(entries));
}

}  // namespace vek
