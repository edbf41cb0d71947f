// The run guard: no host directory, the interval of the last run, three
// minutes after the last run of an earlier program start.
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

// The three minutes after the settings file's stamp, diff milliseconds past
// it. Whole seconds are counted, so the wait ends 1 ms past the three minutes.
uint32_t StampPauseWait(int64_t diff) {
  const int64_t n = diff / 1000;
  return n >= MaxCheckInterval / 1000 ? 0 : static_cast<uint32_t>(MaxCheckInterval + 1 - n * 1000);
}

TRunRefusal RefusedByInterval(const TRunContext& run, uint32_t lastCheckTick, uint32_t checkInterval) {
  const uint32_t elapsed = run.Env.TickCount() - lastCheckTick;
  const uint32_t wait = IntervalWait(elapsed, checkInterval);
  if (wait == 0) return {};
  run.Log.AddLogLine("ERROR: 自主規制で短時間過ぎるまで再チェックを抑止しています。");
  run.Log.AddLogLine("       前回に更新チェックをしたのは " + std::to_string(elapsed / 1000) + " 秒前です。");
  run.Log.AddLogLine("       放置すれば " + std::to_string((checkInterval - elapsed) / 1000) +
                     " 秒後に自動的にチェックが始まります。");
  run.Log.AddLogLine();
  return {true, wait};
}

TRunRefusal RefusedByStampPause(const TRunContext& run) {
  int64_t diff = 0;
  // Stamped in the future: the clock was set back.
  if (!SinceLastRunStamp(run, diff) || diff < 0) return {};
  const uint32_t wait = StampPauseWait(diff);
  if (wait == 0) return {};
  const int64_t n = diff / 1000;
  run.Log.AddLogLine("ERROR: 自主規制で3分以内の再チェックを抑止しています。");
  run.Log.AddLogLine("       前回に更新チェックをしたのは " + std::to_string(n) + " 秒前です。");
  run.Log.AddLogLine("       放置すれば自動的にチェックが始まります。");
  run.Log.AddLogLine();
  return {true, wait};
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

uint32_t RestraintWait(const TRunContext& run, const TRunState& state) {
  if (state.LastCheckTick != 0) return IntervalWait(run.Env.TickCount() - state.LastCheckTick, state.CheckInterval);
  int64_t diff = 0;
  return SinceLastRunStamp(run, diff) && diff >= 0 ? StampPauseWait(diff) : 0;
}

void TRunState::Reset() {
  SettingsLock.Close();
  LastCheckTick = 0;
  CheckInterval = 0;
}

uint32_t CheckIntervalFor(int busiestHostBoards) {
  const uint64_t interval = static_cast<uint64_t>(busiestHostBoards < 0 ? 0 : busiestHostBoards) * IntervalPerBoard;
  return interval >= MaxCheckInterval ? MaxCheckInterval : static_cast<uint32_t>(interval);
}

TRunRefusal CheckRestraint(const TRunContext& run, const TRunState& state) {
  if (run.Settings.DorPath.empty()) {
    run.Log.AddLogLine("ERROR: Dorvellaのディレクトリが設定されていません");
    run.Log.AddLogLine();
    return {true, 0};
  }
  if (state.LastCheckTick != 0) return RefusedByInterval(run, state.LastCheckTick, state.CheckInterval);
  return RefusedByStampPause(run);
}

}  // namespace vek
