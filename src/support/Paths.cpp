// Path components and cache names, with "\" searched only at character
// boundaries.
#include "support/Paths.h"

#include <algorithm>

#include "support/SjisText.h"
#include "support/funcs.h"

namespace vek {

namespace {

// The last "\" or "/" at a character boundary, npos when there is none.
size_t LastSeparator(std::string_view path) {
  size_t backslash = SjisFindLast(path, '\\');
  size_t slash = path.rfind('/');
  if (backslash == std::string_view::npos) return slash;
  if (slash == std::string_view::npos) return backslash;
  return std::max(backslash, slash);
}

}  // namespace

bool IsSafeRelativePath(std::string_view path) {
  if (path.empty()) return false;
  for (unsigned char c : path)
    if (c < 0x20 || c == ':') return false;
  size_t start = 0;
  for (;;) {
    size_t backslash = SjisFind(path, '\\', start);
    size_t slash = path.find('/', start);
    size_t end = std::min(backslash, slash);
    std::string_view part = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

std::string ExtractFileName(std::string_view path) {
  size_t sep = LastSeparator(path);
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string_view ExtractFilePath(std::string_view path) {
  size_t sep = LastSeparator(path);
  return sep == std::string_view::npos ? std::string_view() : path.substr(0, sep + 1);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  size_t sep = LastSeparator(path);
  size_t nameStart = sep == std::string_view::npos ? 0 : sep + 1;
  size_t dot = path.rfind('.');
  size_t stem = (dot == std::string_view::npos || dot < nameStart) ? path.size() : dot;
  std::string result(path.substr(0, stem));
  result += ext;
  return result;
}

std::string EncodeCacheName(std::string_view text) {
  std::string result(text);
  ReplaceAll(result, "/", "%2F");
  ReplaceAll(result, ":", "%3A");
  return result;
}

std::string DecodeCacheName(std::string_view text) {
  std::string result(text);
  ReplaceAll(result, "%2F", "/");
  ReplaceAll(result, "%3A", ":");
  return result;
}

}  // namespace vek
