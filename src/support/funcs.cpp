// Boolean text, integers, replacement, seconds of a system time, and the
// settings-file time stamp and lock. None of the file functions raise: a file
// that cannot be opened keeps its times.
#include "support/funcs.h"

#include <charconv>

#include "platform/Files.h"

namespace vek {

std::string BoolToText(bool value) { return value ? "True" : "False"; }

bool TryStrToInt(std::string_view text, int& value) {
  if (text.empty()) return false;
  size_t start = (text[0] == '+') ? 1 : 0;  // from_chars takes "-" but not "+"
  if (start == 1 && (text.size() == 1 || text[1] == '-')) return false;
  int parsed = 0;
  auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

int StrToIntDef(std::string_view text, int fallback) {
  int value = fallback;
  return TryStrToInt(text, value) ? value : fallback;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  size_t pos = text.find(from);
  if (pos == std::string::npos) return;
  std::string result;
  result.reserve(text.size());
  size_t start = 0;
  for (; pos != std::string::npos; pos = text.find(from, start)) {
    result.append(text, start, pos - start);
    result += to;
    start = pos + from.size();
  }
  result.append(text, start, std::string::npos);
  text = std::move(result);
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
static int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

// Whole seconds since 1970-01-01 00:00:00 of a UTC time, milliseconds dropped.
int64_t SystemTimeToSeconds(const SystemTime& time) {
  const int64_t days = DaysFromCivil(time.Year, time.Month, time.Day);
  return days * 86400 + int64_t{time.Hour} * 3600 + int64_t{time.Minute} * 60 + time.Second;
}

SystemTime SecondsToSystemTime(int64_t seconds) {
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const int64_t rest = seconds - days * 86400;
  // The inverse of DaysFromCivil, on eras of 400 years from 0000-03-01.
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  SystemTime time;
  time.Year = static_cast<uint16_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  time.Month = static_cast<uint16_t>(month);
  time.Day = static_cast<uint16_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
  time.DayOfWeek = static_cast<uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  time.Hour = static_cast<uint16_t>(rest / 3600);
  time.Minute = static_cast<uint16_t>(rest / 60 % 60);
  time.Second = static_cast<uint16_t>(rest % 60);
  return time;
}

void TouchFile(const std::string& path) {
  const FileHandle handle = platform::OpenNoShare(path);
  if (handle == 0) return;
  platform::SetHandleWriteTime(handle, platform::UtcNow());
  platform::CloseHandle(handle);
}

bool TFileLock::Open(const std::string& path) {
  if (Handle == 0) Handle = platform::OpenNoShare(path);
  return Handle != 0;
}

void TFileLock::Close() {
  if (Handle == 0) return;
  platform::CloseHandle(Handle);
  Handle = 0;
}

bool SetFileWriteTime(const std::string& path, const SystemTime& time) {
  platform::SetReadOnly(path, false);
  const FileHandle handle = platform::OpenNoShare(path);
  if (handle == 0) return false;
  const bool set = platform::SetHandleWriteTime(handle, time);
  platform::CloseHandle(handle);
  return set;
}

// A failed read gives the zero time (year 0), which no caller can mistake for
// a recent run.
SystemTime GetFileWriteTime(const std::string& path) {
  SystemTime time;
  if (!platform::GetWriteTimeByPath(path, time)) return SystemTime{};
  return time;
}

}  // namespace vek
