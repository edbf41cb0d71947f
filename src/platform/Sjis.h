// The lead-byte rule of code page 932, for the few places in this layer that
// must not mistake a trail byte for ASCII, and the blanks that may be trimmed.
#pragma once
#include <string>
#include <string_view>

namespace vek::platform {

constexpr bool IsSjisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Space, TAB, the line-end bytes, VT, FF and the old end-of-file mark ^Z.
constexpr bool IsBlankByte(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

// The text without blank bytes at either end. No trail byte of code page 932
// is below 0x40, so trimming bytes never splits a character.
inline std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlankByte(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlankByte(s.back())) s.remove_suffix(1);
  return s;
}

// True when name ends in suffix, ASCII letters compared without regard to
// case, and the suffix starts on a character of name rather than on the
// trail byte of a two-byte one.
inline bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  size_t start = name.size() - suffix.size();
  size_t pos = 0;
  while (pos < start) pos += IsSjisLeadByte(static_cast<unsigned char>(name[pos])) ? 2 : 1;
  if (pos != start) return false;
  bool trail = false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    unsigned char a = static_cast<unsigned char>(name[start + i]);
    unsigned char b = static_cast<unsigned char>(suffix[i]);
    if (!trail && a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a + 32);
    if (!trail && b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
    if (a != b) return false;
    trail = !trail && IsSjisLeadByte(a);
  }
  return true;
}

// The longest start of value that fits in maxBytes without cutting a
// two-byte character in half.
inline std::string CutAtCharacterBoundary(std::string value, size_t maxBytes) {
  if (value.size() <= maxBytes) return value;
  size_t pos = 0;
  for (;;) {
    size_t next = pos + (IsSjisLeadByte(static_cast<unsigned char>(value[pos])) ? 2 : 1);
    if (next > maxBytes) break;
    pos = next;
  }
  value.resize(pos);
  return value;
}

}  // namespace vek::platform
