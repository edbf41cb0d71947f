// The guard that decides whether a check run may start now, and the run state
// it reads, which lives between the runs of one program start.
#pragma once
#include <cstdint>
#include <optional>

#include "reports/RunContext.h"
#include "support/funcs.h"

namespace vek {

// The pause between checks: 20 s for every board on the busiest host, at
// most three minutes; the same three minutes count from the settings file's
// stamp after a restart.
inline constexpr uint32_t IntervalPerBoard = 20000;
inline constexpr uint32_t MaxCheckInterval = 180000;

// The pause after a check whose busiest host had that many boards.
uint32_t CheckIntervalFor(int busiestHostBoards);

struct TRunState {
  uint32_t LastCheckTick = 0;  // when the last run asked the servers; 0: not yet
  uint32_t CheckInterval = 0;  // the pause that run asks for
  // The settings file, held between runs from the end of the first one so
  // that no other program changes its stamp; a run lets go of it to set the
  // stamp.
  void HoldSettingsFile(const std::string& iniName) { SettingsLock.Open(iniName); }
  void ReleaseSettingsFile() { SettingsLock.Close(); }
  bool HoldsSettingsFile() const { return SettingsLock.IsOpen(); }
  // A program start or exit: no run known, the settings file let go of.
  void Reset();

 private:
  TFileLock SettingsLock;
};

// Nothing when the run may start now; else it must not, and the milliseconds
// until it may (0: waiting does not help). It writes its own log lines.
std::optional<uint32_t> CheckRestraint(const TRunContext& run, const TRunState& state);

// Milliseconds until the guard would let a run start (0: it would now), by
// the rules of CheckRestraint but without its log lines. A missing host
// directory is not a pause: that is for the caller to see.
uint32_t RestraintWait(const TRunContext& run, const TRunState& state);

// Milliseconds from the settings file's stamp (the end of the last run, also
// of an earlier program start) to now; negative when the stamp lies ahead.
// False when there is no file or no stamp to read.
bool SinceLastRunStamp(const TRunContext& run, int64_t& milliseconds);

}  // namespace vek
