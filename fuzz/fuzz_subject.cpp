// Subject lines: the count at the end, the key, the count lookup of a cached
// list (its key table must find the first line of every key, as a plain map
// does), snapshots of a list (a snapshot must match the list it was made of),
// cache names and the URLs made of them.
#include <cstdlib>
#include <map>

#include "FuzzInput.h"
#include "fetch/SubjectFetch.h"
#include "reports/HostLog.h"
#include "reports/KeyTable.h"
#include "reports/ResCount.h"
#include "support/TextLines.h"

namespace {

// Filled as the run fills it for a board's cache: lines without "<>" left out.
void CheckCountLookup(std::string_view text) {
  vek::TKeyTable table;
  table.Reset(text.size() / 48 + 1);
  std::map<std::string_view, std::string_view> first;
  vek::ForEachLine(text, [&](std::string_view line) {
    size_t mark = line.find("<>");
    if (mark == std::string_view::npos) return;
    bool added = table.Insert(line.substr(0, mark), line.size());
    if (added != first.emplace(line.substr(0, mark), line).second) std::abort();
  });
  if (table.Count() != first.size()) std::abort();
  for (const auto& [key, line] : first) {
    const vek::TKeyTable::TEntry* entry = table.Find(key);
    if (!entry || entry->Data != line.data() || entry->Value != line.size()) std::abort();
    if (vek::CountOfSubjectLine(std::string_view(entry->Data, entry->Value)) != vek::CountOfSubjectLine(line))
      std::abort();
    std::string longer = std::string(key) + ".dat";
    if (first.count(longer) == 0 && table.Find(longer) != nullptr) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vek::ForEachLine(text, [](std::string_view line) {
    vek::CountOfSubjectLine(line);
    vek::SubjectLineKey(line);
  });
  CheckCountLookup(text);
  std::string snapshot = vek::SnapshotText(text);
  if (!vek::IsSnapshotOf(snapshot, text)) std::abort();
  vek::IsSnapshotOf(text, text);
  vek::DecodeCacheName(text);
  vek::EncodeCacheName(text);
  vek::IsSafeRelativePath(text);
  vek::ThreadUrlOfPath(text);
  vek::BoardUrlOfCacheName(text);
  vek::ThreadUrlPrefixOfCacheName(text);
  vek::SnapshotFileName(text);
  vek::SubjectCacheName(text);
  vek::ServerPart(text);
  vek::EntryUrl(text);
  return 0;
}
