// What the POSIX implementations share: the core's paths turned into the
// system's (UTF-8, "/"), file names turned back, system times and the one
// place where an errno becomes a FileError.
#pragma once
#include <ctime>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace vek::platform::posix {

// Core form (code page 932, "\" or "/") to a UTF-8 path with "/".
std::string SystemPath(std::string_view corePath);
// A UTF-8 name from the system to code page 932.
std::string CoreName(std::string_view systemName);

// A file descriptor closed when the object goes.
class TFd {
 public:
  explicit TFd(int fd = -1) : Fd_(fd) {}
  ~TFd() { Reset(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return Fd_; }
  bool Valid() const { return Fd_ >= 0; }
  int Release() { int fd = Fd_; Fd_ = -1; return fd; }
  void Reset();

 private:
  int Fd_;
};

[[noreturn]] void ThrowErrno(const std::string& operation, const std::string& corePath, int error);

SystemTime ToSystemTime(const timespec& utc);
// A broken-down time as the system keeps it, from the C library's tm.
SystemTime FromTm(const tm& t, long nanoseconds);
timespec ToTimespec(const SystemTime& utc);

}  // namespace vek::platform::posix
