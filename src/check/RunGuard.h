// The two operations that open every check run: the guard that decides
// whether a run may start now, and the configuration block of the log.
#pragma once
#include <cstdint>

#include "reports/RunContext.h"

namespace vek {

// The pause between checks: 20 s for every board on the busiest host, at
// most three minutes; the same three minutes count from the settings file's
// stamp after a restart.
inline constexpr uint32_t IntervalPerBoard = 20000;
inline constexpr uint32_t MaxCheckInterval = 180000;

// The pause after a check whose busiest host had that many boards.
uint32_t CheckIntervalFor(int busiestHostBoards);

struct TRunRefusal {
  bool Refused = false;
  unsigned RetryAfter = 0;  // milliseconds until the run may start; 0: no retry
};

// Whether the run must not start now (it writes its own log lines).
// lastCheckTick and checkInterval are those of the last run of this program
// start (0 and 0 before the first one).
TRunRefusal CheckRestraint(const TRunContext& run, uint32_t lastCheckTick, uint32_t checkInterval);

void LogConfiguration(const TRunContext& run);

}  // namespace vek
