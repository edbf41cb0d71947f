// The configuration block that every check run writes after its start line.
#pragma once
#include <cstdint>
#include <string>

#include "reports/RunContext.h"

namespace vek {

// The settings the block shows that no step of the run reads: the program's
// own around the run.
struct TProgramSettings {
  std::string SoundName;
  std::string IconName;
  bool NotifySound = true;
  uint32_t TimerPeriod = 0;  // the timer resolution asked for at start-up
  int CheckEvery = 0;        // minutes between periodic checks (0: none)
  bool NotifyBalloon = false;  // the tray's notice after a run
};

void LogConfiguration(const TRunContext& run, const TProgramSettings& program);

}  // namespace vek
