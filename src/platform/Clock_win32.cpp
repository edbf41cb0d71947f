// Ticks, sleeping, the clock, the user's date and time formats and the timer
// resolution on Win32.
#include "platform/Win32System.h"

#include <mmsystem.h>

#include "platform/Clock.h"

namespace vek::platform {

uint32_t TickCount() { return GetTickCount(); }
void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

SystemTime UtcNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return win32::FromSystemTime(t);
}

SystemTime LocalNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return win32::FromSystemTime(t);
}

std::string ShortDateText(const SystemTime& local) {
  SYSTEMTIME t = win32::ToSystemTime(local);
  wchar_t text[128];
  int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, text, 128);
  return n > 0 ? win32::Narrow(std::wstring_view(text, static_cast<size_t>(n - 1))) : std::string();
}

std::string LongTimeText(const SystemTime& local) {
  SYSTEMTIME t = win32::ToSystemTime(local);
  wchar_t text[128];
  int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, text, 128);
  return n > 0 ? win32::Narrow(std::wstring_view(text, static_cast<size_t>(n - 1))) : std::string();
}

char DecimalSeparator() {
  wchar_t text[8];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 8) > 1 && text[0] < 0x80)
    return static_cast<char>(text[0]);
  return '.';
}

uint32_t BeginTimerPeriod() {
  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return 0;
  timeBeginPeriod(caps.wPeriodMin);
  return caps.wPeriodMin;
}

void EndTimerPeriod(uint32_t period) {
  if (period != 0) timeEndPeriod(period);
}

}  // namespace vek::platform
