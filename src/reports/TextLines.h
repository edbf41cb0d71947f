// Walking a text line by line without copying: CR LF, a lone CR and a lone LF
// end a line, a last line without an end counts, and a text that ends with a
// line end has no empty line after it.
#pragma once
#include <cstring>
#include <string_view>

namespace vek {

// Line ends are found with memchr (vectorised in the C library): first the
// next LF, then a CR inside that stretch, which is rare. A per-byte search
// for either byte was the bulk of a run's time over large subject caches.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* stop = lf ? lf : end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
    if (cr) {
      visit(std::string_view(p, static_cast<size_t>(cr - p)));
      p = cr + 1;
      if (p < end && *p == '\n') ++p;
    } else if (lf) {
      visit(std::string_view(p, static_cast<size_t>(lf - p)));
      p = lf + 1;
    } else {
      visit(std::string_view(p, static_cast<size_t>(end - p)));
      return;
    }
  }
}

}  // namespace vek
