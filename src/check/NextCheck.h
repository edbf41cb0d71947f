// The periodic check ("CheckEvery", in minutes): when the next one comes. It
// is the later of two moments, the interval after the last run ended and the
// first moment the run guard lets a run start, so a periodic check never
// meets a refusal and never asks the servers sooner than any other check.
#pragma once
#include <cstdint>
#include <string>

#include "check/RunGuard.h"
#include "reports/RunContext.h"

namespace vek {

// The longest interval taken: a week. A longer one is cut to it.
inline constexpr int MaxCheckEvery = 7 * 24 * 60;
// A check that is overdue at start comes a second after it, as "AutoStart" does.
inline constexpr uint32_t OverdueCheckDelay = 1000;

// Milliseconds from now to the next periodic check: everyMinutes (above 0)
// after the last run ended, sinceLastRun milliseconds ago, but not before
// guardWait milliseconds from now.
uint32_t NextCheckDelay(int everyMinutes, uint32_t sinceLastRun, uint32_t guardWait);

// The same for the program as it stands: right after a run (afterRun), or at
// start, when the settings file's stamp tells when the last run ended.
uint32_t NextCheckDelay(const TRunContext& run, const TRunState& state, int everyMinutes, bool afterRun);

// The log line that says when it comes: "Next check: " and the local date and
// time delay milliseconds from now.
std::string NextCheckLine(platform::TEnv& env, uint32_t delay);

}  // namespace vek
