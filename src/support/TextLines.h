// Walking a text line by line without copying: CR LF, a lone CR and a lone LF
// end a line, a last line without an end counts, and a text that ends with a
// line end has no empty line after it.
#pragma once
#include <cstring>
#include <string_view>

namespace vek {

// Where the first line ends: the first CR or LF, npos when there is none.
inline size_t FirstLineEnd(std::string_view text) {
  if (text.empty()) return std::string_view::npos;
  const void* lf = std::memchr(text.data(), '\n', text.size());
  size_t stop = lf ? static_cast<size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
  const void* cr = std::memchr(text.data(), '\r', stop);
  if (cr) return static_cast<size_t>(static_cast<const char*>(cr) - text.data());
  return lf ? stop : std::string_view::npos;
}

// The first line of a text (without its end) and where the next one starts
// (the text's size when there is none).
inline std::string_view FirstLine(std::string_view text, size_t& next) {
  size_t end = FirstLineEnd(text);
  if (end == std::string_view::npos) {
    next = text.size();
    return text;
  }
  next = end + 1;
  if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
  return text.substr(0, end);
}

// Calls visit(line) for each line until it answers false; false then.
// Line ends are found with memchr (vectorised in the C library): first the
// next LF, then a CR inside that stretch, which is rare. A per-byte search
// for either byte was the bulk of a run's time over large subject caches.
template <typename Visit>
bool ForEachLineWhile(std::string_view text, Visit&& visit) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* stop = lf ? lf : end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
    const char* lineEnd = cr ? cr : stop;
    if (!visit(std::string_view(p, static_cast<size_t>(lineEnd - p)))) return false;
    if (cr) {
      p = cr + 1;
      if (p < end && *p == '\n') ++p;
    } else if (lf) {
      p = lf + 1;
    } else {
      break;
    }
  }
  return true;
}

template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  ForEachLineWhile(text, [&](std::string_view line) {
    visit(line);
    return true;
  });
}

}  // namespace vek
