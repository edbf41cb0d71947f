// Searches for ASCII bytes in Shift_JIS text that step over trail bytes.
#include "support/SjisText.h"

namespace vek {
namespace {

// Width of the character starting at i: 2 for a lead byte with a byte after
// it, 1 otherwise (a lead byte at the very end stands alone).
inline size_t CharWidth(std::string_view text, size_t i) {
  return (IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

}  // namespace

// from is taken to be a character boundary (0, or just past an earlier find).
size_t SjisFind(std::string_view text, char delimiter, size_t from) {
  for (size_t i = from; i < text.size(); i += CharWidth(text, i))
    if (text[i] == delimiter) return i;
  return std::string_view::npos;
}

size_t SjisFindLast(std::string_view text, char delimiter) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < text.size(); i += CharWidth(text, i))
    if (text[i] == delimiter) found = i;
  return found;
}

size_t SjisFindText(std::string_view text, std::string_view needle, size_t from) {
  if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
  for (size_t i = from; i < text.size(); i += CharWidth(text, i))
    if (text.compare(i, needle.size(), needle) == 0) return i;
  return std::string_view::npos;
}

std::vector<std::string> SjisSplit(std::string_view text, char delimiter) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); i += CharWidth(text, i)) {
    if (text[i] == delimiter) {
      parts.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

std::string SjisReplaceAll(std::string_view text, std::string_view needle, std::string_view replacement) {
  if (needle.empty()) return std::string(text);
  std::string result;
  size_t from = 0;
  for (size_t at = SjisFindText(text, needle); at != std::string::npos; at = SjisFindText(text, needle, from)) {
    result.append(text.substr(from, at - from));
    result.append(replacement);
    from = at + needle.size();
  }
  result.append(text.substr(from));
  return result;
}

}  // namespace vek
