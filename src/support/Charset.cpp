// EUC-JP to Shift_JIS by way of ISO-2022-JP (JIS), byte by byte; the
// conversions accept any bytes and never look past the end of the text. From
// EUC-JP, every byte below 0x40 other than ESC keeps its place, whatever broken
// text surrounds it: line ends, "<>", "(", ")" and the digits of a list
// survive. JIS text keeps its control bytes, line ends among them.
#include <cstddef>

#include "support/Charset.h"

namespace vek {
namespace {

constexpr char Esc = 0x1B;

inline bool IsJisByte(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

// JIS X 0208 row/cell bytes to their Shift_JIS pair.
inline void AppendSjisPair(std::string& out, unsigned char j1, unsigned char j2) {
  const unsigned char s1 = static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0));
  unsigned char s2;
  if ((j1 & 1) == 0)
    s2 = static_cast<unsigned char>(j2 + 0x7E);
  else
    s2 = static_cast<unsigned char>(j2 < 0x60 ? j2 + 0x1F : j2 + 0x20);
  out.push_back(static_cast<char>(s1));
  out.push_back(static_cast<char>(s2));
}

}  // namespace

bool IsEucLeadByte(unsigned char c) { return c >= 0xA1 && c <= 0xFE; }

bool IsKanaByte(unsigned char c) { return c >= 0xA0 && c <= 0xDF; }

std::string EucPairToJis(unsigned char b1, unsigned char b2) {
  return std::string{static_cast<char>(b1 & 0x7F), static_cast<char>(b2 & 0x7F)};
}

std::string EucToJis(std::string_view text) {
  const size_t n = text.size();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::string out;
  out.reserve(n + n / 8 + 16);
  bool kanji = false;
  size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    // A lead byte pairs only with a trail byte (the same range): paired with
    // anything else it would swallow a line end, a "(" or a digit of the list.
    if (IsEucLeadByte(c) && i + 1 < n && IsEucLeadByte(p[i + 1])) {
      if (!kanji) {
        out.append("\x1B$B", 3);
        kanji = true;
      }
      out.push_back(static_cast<char>(c & 0x7F));
      out.push_back(static_cast<char>(p[i + 1] & 0x7F));
      i += 2;
    } else if (c == 0x8E && i + 1 < n && IsKanaByte(p[i + 1])) {
      i += 2;  // half-width kana have no JIS X 0208 form and are dropped
    } else if (c == Esc) {
      ++i;  // no EUC-JP text has one; kept, it would turn the JIS reader's kanji mode on
    } else {
      if (kanji) {
        out.append("\x1B(J", 3);
        kanji = false;
      }
      // Board lists are mostly ASCII between the titles: copy a run at once.
      size_t j = i + 1;
      while (j < n && p[j] < 0x8E && p[j] != Esc) ++j;
      out.append(text.data() + i, j - i);
      i = j;
    }
  }
  return out;
}

// Defined for first bytes 0x21..0x7E; any other pair is returned unchanged,
// since the arithmetic would only invent a character.
std::string JisPairToSjis(unsigned char j1, unsigned char j2) {
  std::string out;
  if (IsJisByte(j1)) {
    AppendSjisPair(out, j1, j2);
  } else {
    out.push_back(static_cast<char>(j1));
    out.push_back(static_cast<char>(j2));
  }
  return out;
}

std::string JisToSjis(std::string_view text) {
  const size_t n = text.size();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::string out;
  out.reserve(n + 1);
  bool kanji = false;
  size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c == Esc && i + 2 < n) {
      if (p[i + 1] == '$' && p[i + 2] == 'B') {
        kanji = true;
        i += 3;
        continue;
      }
      if (p[i + 1] == '(' && (p[i + 2] == 'B' || p[i + 2] == 'J')) {
        kanji = false;
        i += 3;
        continue;
      }
    }
    if (!kanji) {
      size_t j = i + 1;
      while (j < n && p[j] != Esc) ++j;
      out.append(text.data() + i, j - i);
      i = j;
    } else if (!IsJisByte(c)) {
      // Only text that carried its own ESC $ B gets here: a control byte or
      // a high byte in kanji mode goes through alone, so line ends survive.
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (i + 1 < n && IsJisByte(p[i + 1])) {
      AppendSjisPair(out, c, p[i + 1]);
      i += 2;
    } else {
      ++i;  // a byte without its partner is dropped; what follows it stays
    }
  }
  return out;
}

}  // namespace vek
