// The sorted-list comparison on POSIX: byte order after ASCII case folding.
//
// Windows compares in the user's locale: fullwidth and other non-ASCII
// letters fold too, and hyphens and apostrophes weigh less than other
// characters. POSIX has no collation for code page 932, so lists sorted here
// may come out in a different order; what stays the same is which entries
// count as equal for the ASCII names that thread paths are made of.
#include "platform/Collate.h"
#include "platform/Sjis.h"

namespace vek::platform {

int CompareTextNoCase(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  bool trail = false;  // both texts are equal so far, so they agree on this
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    // The trail byte of a two-byte character is never folded: 83 41 and
    // 83 61 are two different katakana.
    if (!trail) {
      if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    }
    if (x != y) return x < y ? -1 : 1;
    trail = !trail && IsSjisLeadByte(x);
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace vek::platform
