// The sorted-list comparison on Win32: the user's locale, case ignored.
#include "platform/Win32System.h"
#include "platform/Collate.h"

namespace vek::platform {

// CompareStringA would read the bytes in the system's ANSI code page; the
// core's texts are code page 932 on any system, so they are converted here
// and compared as UTF-16, which is what CompareStringA does internally on a
// Japanese system.
int CompareTextNoCase(std::string_view a, std::string_view b) {
  std::wstring x = win32::Wide(a), y = win32::Wide(b);
  int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()), y.data(),
                         static_cast<int>(y.size()));
  if (r == CSTR_LESS_THAN) return -1;
  if (r == CSTR_GREATER_THAN) return 1;
  if (r == CSTR_EQUAL) return 0;
  return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;  // the call failed: plain byte order
}

}  // namespace vek::platform
