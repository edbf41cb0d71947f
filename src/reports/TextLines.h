// Walking a text line by line without copying: CR LF, a lone CR and a lone LF
// end a line, a last line without an end counts, and a text that ends with a
// line end has no empty line after it.
#pragma once
#include <string_view>

namespace vek {

template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    visit(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

}  // namespace vek
