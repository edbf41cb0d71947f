// The sorted-list comparison on POSIX, modelled on the Windows word sort for
// the characters that paths and file names are made of.
//
// ASCII follows the order Windows gives it: symbols, then digits, then
// letters with case ignored; the hyphen and the apostrophe weigh nothing at
// first and only break ties (so "ab" < "a-b" < "ac"). A two-byte character
// sorts after every ASCII one, in code order; Windows would place fullwidth
// letters beside their ASCII forms and order kana by its own table, so lists
// holding such text may come out in another order. Equality is the same on
// both: texts equal when ASCII case is ignored.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/Collate.h"
#include "platform/Sjis.h"

namespace vek::platform {
namespace {

// The symbols in the order Windows sorts them (hyphen and apostrophe apart).
constexpr std::string_view SymbolOrder = " !\"#$%&()*,./:;?@[]^_`{|}~\\+<=>";

constexpr std::array<uint16_t, 128> MakeAsciiWeights() {
  std::array<uint16_t, 128> w{};
  uint16_t next = 64;
  for (char c : SymbolOrder) w[static_cast<unsigned char>(c)] = next++;
  for (char c = '0'; c <= '9'; ++c) w[static_cast<unsigned char>(c)] = next++;
  for (char c = 'a'; c <= 'z'; ++c) {
    w[static_cast<unsigned char>(c)] = next;
    w[static_cast<unsigned char>(c - 32)] = next++;
  }
  return w;
}

constexpr std::array<uint16_t, 128> AsciiWeights = MakeAsciiWeights();
constexpr uint32_t NonAsciiBase = 0x10000;

bool IsSpecial(unsigned char c) { return c == '-' || c == '\''; }
bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Reads one character at pos: its first-level weight, or 0 for a hyphen, an
// apostrophe or a control character.
uint32_t NextWeight(std::string_view s, size_t& pos) {
  unsigned char c = static_cast<unsigned char>(s[pos++]);
  if (c < 0x80) return IsSpecial(c) || IsControl(c) ? 0 : AsciiWeights[c];
  uint32_t code = c;
  if (IsSjisLeadByte(c) && pos < s.size()) code = (code << 8) | static_cast<unsigned char>(s[pos++]);
  return NonAsciiBase + code;
}

int Sign(int64_t d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// Where two texts stop being byte for byte the same, moved back to the start
// of the character there. Both texts read alike up to that point, so their
// weights up to it are the same and the comparison may begin there.
size_t CommonStart(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  const size_t differ = static_cast<size_t>(std::mismatch(a.begin(), a.begin() + n, b.begin()).first - a.begin());
  size_t pos = 0;
  while (pos < differ) {
    const size_t width = IsSjisLeadByte(static_cast<unsigned char>(a[pos])) ? 2 : 1;
    if (pos + width > differ) return pos;
    pos += width;
  }
  return pos;
}

int CompareFirstLevel(std::string_view a, std::string_view b) {
  size_t i = CommonStart(a, b), j = i;
  for (;;) {
    uint32_t x = 0, y = 0;
    while (i < a.size() && (x = NextWeight(a, i)) == 0) {
    }
    while (j < b.size() && (y = NextWeight(b, j)) == 0) {
    }
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;  // both ended
  }
}

// Texts equal at the first level: the one whose hyphen or apostrophe comes
// first is the greater, a hyphen outweighs an apostrophe, and more of them
// outweigh fewer.
int CompareSpecials(std::string_view a, std::string_view b) {
  auto specials = [](std::string_view s) {
    std::vector<std::pair<size_t, unsigned char>> list;
    for (size_t pos = 0; pos < s.size();) {
      unsigned char c = static_cast<unsigned char>(s[pos]);
      if (IsSpecial(c)) list.emplace_back(pos, c);
      pos += IsSjisLeadByte(c) ? 2 : 1;
    }
    return list;
  };
  auto x = specials(a), y = specials(b);
  for (size_t k = 0; k < x.size() && k < y.size(); ++k) {
    if (x[k].first != y[k].first) return x[k].first < y[k].first ? 1 : -1;
    if (x[k].second != y[k].second) return x[k].second == '-' ? 1 : -1;
  }
  return Sign(static_cast<int64_t>(x.size()) - static_cast<int64_t>(y.size()));
}

}  // namespace

int CompareTextNoCase(std::string_view a, std::string_view b) {
  if (int r = CompareFirstLevel(a, b)) return r;
  if (int r = CompareSpecials(a, b)) return r;
  // Left: texts that differ in control characters only. They never count
  // as equal, or a sorted list would drop one of them.
  auto controls = [](std::string_view s) {
    std::string list;
    for (unsigned char c : s)
      if (IsControl(c)) list += static_cast<char>(c);
    return list;
  };
  std::string x = controls(a), y = controls(b);
  if (x.size() != y.size()) return x.size() > y.size() ? 1 : -1;
  return Sign(x.compare(y));
}

}  // namespace vek::platform
