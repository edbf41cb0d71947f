// Small shared functions: the text of a boolean, decimal integers, byte-wise
// replacement, file time stamps, seconds of a system time, and the lock that
// keeps other programs off the settings file between check runs.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/FileTimes.h"

namespace vek {

using platform::FileHandle;
using platform::SystemTime;

std::string BoolToText(bool value);                 // "True" / "False"
// Decimal integer with an optional sign, or fallback for anything else
// (empty, blanks, other characters, out of 32-bit range).
int StrToIntDef(std::string_view text, int fallback);
// The same rule; false (value untouched) for anything that is not a number.
bool TryStrToInt(std::string_view text, int& value);
// Every occurrence of from replaced, bytes compared: for needles that cannot
// start on a trail byte (their first byte is below 0x40, as "%" and "<" are),
// or text without Japanese. SjisReplaceAll is the one for "\" and the like.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

int64_t SystemTimeToSeconds(const SystemTime& time);
// The other way (day of the week included, milliseconds 0).
SystemTime SecondsToSystemTime(int64_t seconds);
void TouchFile(const std::string& path);
// False when the file could not be opened or its time not set.
bool SetFileWriteTime(const std::string& path, const SystemTime& time);
SystemTime GetFileWriteTime(const std::string& path);

// A file opened without sharing, closed when the object goes (or on Close).
class TFileLock {
 public:
  TFileLock() = default;
  ~TFileLock() { Close(); }
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;
  // Takes the lock unless it is held already; false when the file could not
  // be opened (it is then not locked).
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return Handle != 0; }

 private:
  FileHandle Handle = 0;
};

}  // namespace vek
