// Index records: parsed, rewritten in both forms and parsed again (both forms
// must read back as the record, the rewrite must be stable); the server count
// written into the text with its news rules; the fallen mark; single items.
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
  if (again.Fields != record.Fields) std::abort();
  // So does the report form of the same fields.
  if (vek::ParseIndexRecord(vek::ReportFormRecord(record.Fields)).Fields != record.Fields) std::abort();
  if (vek::RewrittenRecordLine(record.Fields) + "\r\n" != rewritten.substr(0, rewritten.find("\r\n") + 2))
    std::abort();
  vek::ParseIndexFlags(text, -1);
  std::string fallen = vek::FallenMarkedText(text);
  // The mark is set once: marking again changes nothing.
  if (vek::FallenMarkedText(fallen) != fallen) std::abort();
  std::string item;
  for (int n = 0; n < 22; ++n) vek::IndexItemOf(text, n, item);
  std::string counted;
  int count = size > 0 ? static_cast<int>(data[0]) * 37 - 100 : 0;
  vek::RewriteServerCount(text, count, counted);
  vek::StrToIntDef(text.substr(0, 24), 0);
  vek::EscapeCommas(text);
  vek::MakeLink(text);
  return 0;
}
