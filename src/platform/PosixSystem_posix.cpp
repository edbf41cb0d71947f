// Path conversion, errno reporting and time conversion for the POSIX layer.
#include "platform/PosixSystem.h"

#include <unistd.h>

#include <cstring>

#include "platform/Console.h"
#include "platform/FileError.h"

namespace vek::platform::posix {

void TFd::Reset() {
  if (Fd_ >= 0) ::close(Fd_);
  Fd_ = -1;
}

std::string SystemPath(std::string_view corePath) {
  // After the conversion no trail byte is left that could look like "\".
  std::string path = Cp932ToUtf8(corePath);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string CoreName(std::string_view systemName) { return Utf8ToCp932(systemName); }

void ThrowErrno(const std::string& operation, const std::string& corePath, int error) {
  throw FileError(operation, corePath, Utf8ToCp932(std::strerror(error)));
}

SystemTime ToSystemTime(const timespec& utc) {
  tm t{};
  gmtime_r(&utc.tv_sec, &t);
  return FromTm(t, utc.tv_nsec);
}

SystemTime FromTm(const tm& t, long nanoseconds) {
  SystemTime s;
  s.Year = static_cast<uint16_t>(t.tm_year + 1900);
  s.Month = static_cast<uint16_t>(t.tm_mon + 1);
  s.DayOfWeek = static_cast<uint16_t>(t.tm_wday);
  s.Day = static_cast<uint16_t>(t.tm_mday);
  s.Hour = static_cast<uint16_t>(t.tm_hour);
  s.Minute = static_cast<uint16_t>(t.tm_min);
  s.Second = static_cast<uint16_t>(t.tm_sec);
  s.Milliseconds = static_cast<uint16_t>(nanoseconds / 1000000);
  return s;
}

timespec ToTimespec(const SystemTime& utc) {
  tm t{};
  t.tm_year = utc.Year - 1900;
  t.tm_mon = utc.Month - 1;
  t.tm_mday = utc.Day;
  t.tm_hour = utc.Hour;
  t.tm_min = utc.Minute;
  t.tm_sec = utc.Second;
  timespec ts{};
  ts.tv_sec = timegm(&t);
  ts.tv_nsec = static_cast<long>(utc.Milliseconds) * 1000000;
  return ts;
}

}  // namespace vek::platform::posix
