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
// A check asked for at start ("AutoStart"), from outside (the host browser's
// button), or overdue at start comes a second later.
inline constexpr uint32_t CheckStartDelay = 1000;

// Milliseconds from now to the next periodic check: everyMinutes (above 0)
// after the last run ended, sinceLastRun milliseconds ago, but not before
// guardWait milliseconds from now.
uint32_t NextCheckDelay(int everyMinutes, uint32_t sinceLastRun, uint32_t guardWait);

// The same at start, when the settings file's stamp tells when the last run
// ended. Right after a run, its result's NextRunAfter is the guard's wait.
uint32_t NextCheckDelayAtStart(const TRunContext& run, const TRunState& state, int everyMinutes);

// The log line that says when it comes: "Next check: " and the local date and
// time delay milliseconds from now.
std::string NextCheckLine(platform::TEnv& env, uint32_t delay);

}  // namespace vek
