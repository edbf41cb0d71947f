// Index records: parsed, rewritten in both forms and parsed again; the
// server count written into the text with its news rules; the fallen mark;
// single items.
#include <cstdlib>

#include "FuzzInput.h"
#include "reports/HostLog.h"
#include "reports/ResCount.h"
#include "support/funcs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vek::TIndexRecord record = vek::ParseIndexRecord(text);
  std::string rewritten = vek::RewrittenIndexText(record);
  vek::TIndexRecord again = vek::ParseIndexRecord(rewritten);
  // A rewritten text reads back as what was written.
  if (vek::RewrittenIndexText(again) != rewritten) std::abort();
  vek::ReportFormRecord(record.Fields);
  vek::ParseIndexFlags(text, -1);
  vek::FallenMarkedText(text);
  std::string item;
  for (int n = 0; n < 22; ++n) vek::IndexItemOf(text, n, item);
  std::string counted;
  int count = size > 0 ? static_cast<int>(data[0]) * 37 - 100 : 0;
  vek::RewriteServerCount(text, count, counted);
  vek::StrToIntDef(text.substr(0, 24), 0);
  return 0;
}
