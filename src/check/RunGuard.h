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

// Milliseconds until the guard would let a run start (0: it would now), by
// the rules of CheckRestraint but without its log lines. A missing host
// directory is not a pause: that is for the caller to see.
uint32_t RestraintWait(const TRunContext& run, uint32_t lastCheckTick, uint32_t checkInterval);

// Milliseconds from the settings file's stamp (the end of the last run, also
// of an earlier program start) to now; negative when the stamp lies ahead.
// False when there is no file or no stamp to read.
bool SinceLastRunStamp(const TRunContext& run, int64_t& milliseconds);

void LogConfiguration(const TRunContext& run);

}  // namespace vek
