// The line and field reader, the line list and the Shift_JIS-aware splitting.
#include "FuzzInput.h"
#include "support/BuffStr.h"
#include "support/SjisText.h"
#include "support/StringList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vek::TStringReader lines{std::string(text)};
  vek::TStringWriter writer(1);
  while (!lines.Eof()) {
    vek::TStringReader fields(lines.ReadLine());
    bool end = false;
    for (int i = 0; i < 64 && !end; ++i) writer.Write(fields.ReadField(end));
    writer.WriteLine("");
  }
  vek::TStringReader chars{std::string(text)};
  while (!chars.Eof()) chars.ReadChar();
  chars.CopyRange(0, static_cast<int32_t>(size));
  vek::TStringList list;
  list.SetText(text);
  list.Sort();
  vek::SjisSplit(text, ',');
  vek::SjisFindLast(text, '\\');
  return 0;
}
