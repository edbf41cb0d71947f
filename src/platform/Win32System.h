// What the Win32 implementations share: the core's code page 932 text turned
// into UTF-16 for the "W" functions and back, handles that close themselves,
// system times, and the one place where a system error becomes a FileError.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Clock.h"

// The headers define these as macros for their W forms; the layer has
// functions of the same names.
#undef DeleteFile
#undef MoveFile

namespace vek::platform::win32 {

std::wstring Wide(std::string_view cp932);
std::string Narrow(std::wstring_view wide);
// A path in core form ("\" or "/") with "\" separators, as UTF-16.
std::wstring WidePath(std::string_view corePath);

[[noreturn]] void ThrowLastError(const std::string& operation, const std::string& corePath, DWORD error);

class THandle {
 public:
  explicit THandle(HANDLE h = INVALID_HANDLE_VALUE) : H_(h) {}
  ~THandle() { Reset(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return H_; }
  bool Valid() const { return H_ != INVALID_HANDLE_VALUE && H_ != nullptr; }
  HANDLE Release() { HANDLE h = H_; H_ = INVALID_HANDLE_VALUE; return h; }
  void Reset() {
    if (Valid()) ::CloseHandle(H_);
    H_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE H_;
};

SystemTime FromSystemTime(const SYSTEMTIME& t);
SYSTEMTIME ToSystemTime(const SystemTime& t);

}  // namespace vek::platform::win32
