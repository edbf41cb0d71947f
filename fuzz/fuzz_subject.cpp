// Subject lines: the count at the end, the key, snapshots of a list (a
// snapshot must match the list it was made of), cache names and the URLs
// made of them.
#include <cstdlib>

#include "FuzzInput.h"
#include "fetch/SubjectFetch.h"
#include "reports/HostLog.h"
#include "reports/ResCount.h"
#include "support/TextLines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vek::ForEachLine(text, [](std::string_view line) {
    vek::CountOfSubjectLine(line);
    vek::SubjectLineKey(line);
  });
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
