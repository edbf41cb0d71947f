// The moment of the next periodic check and the log line that names it.
#include "check/NextCheck.h"

#include <algorithm>

#include "support/funcs.h"

namespace vek {

uint32_t NextCheckDelay(int everyMinutes, uint32_t sinceLastRun, uint32_t guardWait) {
  const uint32_t every = static_cast<uint32_t>(std::clamp(everyMinutes, 1, MaxCheckEvery)) * 60000u;
  const uint32_t untilInterval = every - std::min(sinceLastRun, every);
  return std::max({untilInterval, guardWait, CheckStartDelay});
}

uint32_t NextCheckDelayAtStart(const TRunContext& run, const TRunState& state, int everyMinutes) {
  int64_t sinceStamp = 0;
  // No stamp: no run is known, so none is waited for. A stamp ahead of the
  // clock (set back since) counts as a run that just ended.
  if (!SinceLastRunStamp(run, sinceStamp)) sinceStamp = INT32_MAX;
  const uint32_t sinceLastRun = static_cast<uint32_t>(std::clamp<int64_t>(sinceStamp, 0, INT32_MAX));
  return NextCheckDelay(everyMinutes, sinceLastRun, RestraintWait(run, state));
}

std::string NextCheckLine(platform::TEnv& env, uint32_t delay) {
  const SystemTime now = env.LocalNow();
  const int64_t seconds = SystemTimeToSeconds(now) + (now.Milliseconds + int64_t{delay}) / 1000;
  const SystemTime then = SecondsToSystemTime(seconds);
  return "Next check: " + platform::ShortDateText(then) + " " + platform::LongTimeText(then);
}

}  // namespace vek
