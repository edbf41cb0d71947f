// The line and field reader, the line list and the Shift_JIS-aware splitting.
// The reader's lines, the list's lines and the line walk must agree.
#include <cstdlib>

#include "FuzzInput.h"
#include "support/BuffStr.h"
#include "support/SjisText.h"
#include "support/StringList.h"
#include "support/TextLines.h"

namespace {

// The reader ends its text at the first NUL byte; the others read up to it alike.
void CheckLineReadersAgree(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  vek::TStringReader reader{std::string(text)};
  vek::TStringList list;
  list.SetText(text);
  size_t n = 0;
  vek::ForEachLine(text, [&](std::string_view line) {
    if (reader.Eof() || reader.ReadLineView() != line) std::abort();
    if (n >= list.Items.size() || list.Items[n++] != line) std::abort();
  });
  if (!reader.Eof() || n != list.Items.size()) std::abort();
  size_t next = 0;
  std::string_view first = vek::FirstLine(text, next);
  if (!list.Items.empty() && first != list.Items[0]) std::abort();
  vek::TStringList again;
  again.SetText(list.Text());
  if (again.Items != list.Items) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vek::TStringReader lines{std::string(text)};
  vek::TStringWriter writer(1);
  while (!lines.Eof()) {
    vek::TStringReader fields(lines.ReadLine());
    bool end = false;
    for (int i = 0; i < 64 && !end; ++i) writer.Write(vek::ReadField(fields, end));
    writer.WriteLine("");
  }
  vek::TStringReader chars{std::string(text)};
  while (!chars.Eof()) chars.ReadChar();
  chars.CopyRange(0, static_cast<int32_t>(size));
  CheckLineReadersAgree(text);
  vek::TStringList list;
  list.Sorted = size > 0 && (data[0] & 1);
  list.SetText(text);
  list.Sort();
  if (list.Count() > 0) {
    list.IndexOf(list[list.Count() / 2]);
    list.IndexOfName(vek::TStringList::NameOf(list[0]));
  }
  vek::SjisSplit(text, ',');
  vek::SjisFindLast(text, '\\');
  vek::SjisFindText(text, "<>");
  vek::SjisReplaceAll(text, "\\", "/");
  return 0;
}
