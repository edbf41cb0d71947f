// The run guard: no host directory, the interval of the last run, the
// longest pause after the last run of an earlier program start.
#include "check/RunGuard.h"

#include "platform/FileTimes.h"
#include "platform/Files.h"

namespace vek {

namespace {

int64_t MillisecondsOf(const SystemTime& time) {
  return SystemTimeToSeconds(time) * 1000 + time.Milliseconds;
}

// The pause of this program start, elapsed milliseconds into it: 0 when it
// is over, else the wait until 1 ms past it.
uint32_t IntervalWait(uint32_t elapsed, uint32_t checkInterval) {
  return elapsed >= checkInterval ? 0 : checkInterval - elapsed + 1;
}

// The longest pause (MaxCheckInterval) after the settings file's stamp, diff
// milliseconds past it. Whole seconds are counted, so the wait ends 1 ms past it.
uint32_t StampPauseWait(int64_t diff) {
  const int64_t n = diff / 1000;
  return n >= MaxCheckInterval / 1000 ? 0 : static_cast<uint32_t>(MaxCheckInterval + 1 - n * 1000);
}

void LogIntervalRefusal(const TRunContext& run, uint32_t elapsed, uint32_t checkInterval) {
  run.Log.AddLogLine("ERROR: 自主規制で短時間過ぎるまで再チェックを抑止しています。");
  run.Log.AddLogLine("       前回に更新チェックをしたのは " + std::to_string(elapsed / 1000) + " 秒前です。");
  run.Log.AddLogLine("       放置すれば " + std::to_string((checkInterval - elapsed) / 1000) +
                     " 秒後に自動的にチェックが始まります。");
  run.Log.AddLogLine();
}

void LogStampRefusal(const TRunContext& run, int64_t secondsAgo) {
  run.Log.AddLogLine("ERROR: 自主規制で3分以内の再チェックを抑止しています。");
  run.Log.AddLogLine("       前回に更新チェックをしたのは " + std::to_string(secondsAgo) + " 秒前です。");
  run.Log.AddLogLine("       放置すれば自動的にチェックが始まります。");
  run.Log.AddLogLine();
}

// The wait the pause rules ask for (0: none), with the refusal's log lines
// when log is true: the interval of the last run of this program start, or
// else the pause after the settings file's stamp.
uint32_t PauseWait(const TRunContext& run, const TRunState& state, bool log) {
  if (state.LastCheckTick != 0) {
    const uint32_t elapsed = run.Env.TickCount() - state.LastCheckTick;
    const uint32_t wait = IntervalWait(elapsed, state.CheckInterval);
    if (wait != 0 && log) LogIntervalRefusal(run, elapsed, state.CheckInterval);
    return wait;
  }
  int64_t diff = 0;
  // Stamped in the future: the clock was set back.
  if (!SinceLastRunStamp(run, diff) || diff < 0) return 0;
  const uint32_t wait = StampPauseWait(diff);
  if (wait != 0 && log) LogStampRefusal(run, diff / 1000);
  return wait;
}

}  // namespace

bool SinceLastRunStamp(const TRunContext& run, int64_t& milliseconds) {
  const std::string iniName = run.Settings.IniFileName();
  if (!platform::FileExists(iniName)) return false;
  SystemTime stamp;
  if (!platform::GetWriteTimeByPath(iniName, stamp)) return false;
  milliseconds = MillisecondsOf(run.Env.UtcNow()) - MillisecondsOf(stamp);
  return true;
}

uint32_t RestraintWait(const TRunContext& run, const TRunState& state) { return PauseWait(run, state, false); }

void TRunState::Reset() {
  SettingsLock.Close();
  LastCheckTick = 0;
  CheckInterval = 0;
}

uint32_t CheckIntervalFor(int busiestHostBoards) {
  const uint64_t interval = static_cast<uint64_t>(busiestHostBoards < 0 ? 0 : busiestHostBoards) * IntervalPerBoard;
  return interval >= MaxCheckInterval ? MaxCheckInterval : static_cast<uint32_t>(interval);
}

std::optional<uint32_t> CheckRestraint(const TRunContext& run, const TRunState& state) {
  if (run.Settings.DorPath.empty()) {
    run.Log.AddLogLine("ERROR: Dorvellaのディレクトリが設定されていません");
    run.Log.AddLogLine();
    return 0;
  }
  const uint32_t wait = PauseWait(run, state, true);
  if (wait == 0) return std::nullopt;
  return wait;
}

}  // namespace vek
