// Ticks, sleeping and the clock on POSIX; dates shown as a Japanese system
// shows them.
#include <time.h>

#include <cerrno>
#include <cstdio>

#include "platform/Clock.h"
#include "platform/PosixSystem.h"

namespace vek::platform {

uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void Sleep(uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

SystemTime UtcNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return posix::ToSystemTime(ts);
}

SystemTime LocalNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  localtime_r(&ts.tv_sec, &t);
  return posix::FromTm(t, ts.tv_nsec);
}

std::string ShortDateText(const SystemTime& local) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u/%02u/%02u", unsigned(local.Year), unsigned(local.Month), unsigned(local.Day));
  return text;
}

std::string LongTimeText(const SystemTime& local) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u", unsigned(local.Hour), unsigned(local.Minute), unsigned(local.Second));
  return text;
}

char DecimalSeparator() { return '.'; }

// POSIX timers are as fine as they get without asking.
uint32_t BeginTimerPeriod() { return 1; }
void EndTimerPeriod(uint32_t) {}

}  // namespace vek::platform
