// Time as the core sees it: the 32-bit millisecond tick counter, sleeping,
// the system time (UTC), local time and its display formats, and the timer
// resolution the program asks for while it runs.
#pragma once
#include <cstdint>
#include <string>

namespace vek::platform {

// A broken-down time with 16-bit fields, as the system keeps it.
struct SystemTime {
  uint16_t Year = 0, Month = 0, DayOfWeek = 0, Day = 0;
  uint16_t Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
};

uint32_t TickCount();            // milliseconds, wraps after 49.7 days
void Sleep(uint32_t milliseconds);
SystemTime UtcNow();
SystemTime LocalNow();

// Local date in the system's short date format and time in its long time
// format (POSIX: "yyyy/mm/dd" and "h:nn:ss", as a Japanese system shows them).
std::string ShortDateText(const SystemTime& local);
std::string LongTimeText(const SystemTime& local);
// The system's decimal separator for fixed-point figures.
char DecimalSeparator();

// The finest timer period the system offers, requested for the program's
// lifetime (Windows: timeGetDevCaps/timeBeginPeriod; POSIX: 1, nothing to do).
uint32_t BeginTimerPeriod();
void EndTimerPeriod(uint32_t period);

// Holds that period from Begin until End or its own end, so that no way out
// of the program leaves it asked for.
class TTimerPeriod {
 public:
  TTimerPeriod() = default;
  ~TTimerPeriod() { End(); }
  TTimerPeriod(const TTimerPeriod&) = delete;
  TTimerPeriod& operator=(const TTimerPeriod&) = delete;
  // The period asked for (0: none).
  uint32_t Begin() {
    End();
    Period_ = BeginTimerPeriod();
    return Period_;
  }
  void End() {
    if (Period_ != 0) EndTimerPeriod(Period_);
    Period_ = 0;
  }

 private:
  uint32_t Period_ = 0;
};

}  // namespace vek::platform
