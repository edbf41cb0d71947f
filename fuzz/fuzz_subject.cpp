// Subject lines: the count at the end, the key, snapshots of a list.
#include "FuzzInput.h"
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
  vek::IsSnapshotOf(snapshot, text);
  vek::IsSnapshotOf(text, text);
  vek::DecodeCacheName(text);
  vek::EncodeCacheName(text);
  vek::IsSafeRelativePath(text);
  vek::ThreadUrlOfPath(text);
  vek::BoardUrlOfCacheName(text);
  return 0;
}
