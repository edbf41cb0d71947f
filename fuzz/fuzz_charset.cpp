// EUC-JP to JIS to Shift_JIS, and JIS input straight to Shift_JIS. Broken
// input must not move a list's structure: from EUC-JP every byte below 0x40
// but ESC keeps its place, from JIS every control byte; well-formed EUC-JP
// pairs become well-formed Shift_JIS pairs.
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "support/Charset.h"

namespace {

std::string BytesBelow(std::string_view text, unsigned char limit) {
  std::string kept;
  for (unsigned char c : text)
    if (c < limit && c != 0x1B) kept.push_back(static_cast<char>(c));
  return kept;
}

// Each input byte pair as a two-byte EUC-JP character.
void CheckWellFormedPairs(std::string_view text) {
  std::string euc;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    euc.push_back(static_cast<char>(0xA1 + static_cast<unsigned char>(text[i]) % 94));
    euc.push_back(static_cast<char>(0xA1 + static_cast<unsigned char>(text[i + 1]) % 94));
  }
  std::string sjis = vek::JisToSjis(vek::EucToJis(euc));
  if (sjis.size() != euc.size()) std::abort();
  for (size_t i = 0; i < sjis.size(); i += 2) {
    unsigned char lead = sjis[i], trail = sjis[i + 1];
    if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF))) std::abort();
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (BytesBelow(vek::JisToSjis(vek::EucToJis(text)), 0x40) != BytesBelow(text, 0x40)) std::abort();
  if (BytesBelow(vek::JisToSjis(text), 0x20) != BytesBelow(text, 0x20)) std::abort();
  CheckWellFormedPairs(text);
  return 0;
}
