// The run guard (no host directory, the interval of the last run, three
// minutes after the last run of an earlier program start) and the
// configuration block that every run writes after its start line.
#include "check/RunGuard.h"

#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/UserPaths.h"
#include "shell/VekMainForm.h"
#include "support/funcs.h"

namespace vek {

namespace {

int64_t MillisecondsOf(const SystemTime& time) {
  return SystemTimeToSeconds(time) * 1000 + time.Milliseconds;
}

bool RefusedByInterval(TVekMainForm& form) {
  const uint32_t elapsed = form.Env.TickCount() - form.LastCheckTick;
  if (elapsed >= form.CheckInterval) return false;
  form.AddLogLine("ERROR: 自主規制で短時間過ぎるまで再チェックを抑止しています。");
  form.AddLogLine("       前回に更新チェックをしたのは " + std::to_string(elapsed / 1000) + " 秒前です。");
  form.AddLogLine("       放置すれば " + std::to_string((form.CheckInterval - elapsed) / 1000) +
                  " 秒後に自動的にチェックが始まります。");
  form.AddLogLine();
  form.StartCheckTimer(form.CheckInterval - elapsed + 1);
  return true;
}

bool RefusedByThreeMinutes(TVekMainForm& form) {
  const std::string iniName = form.IniFileName();
  if (!platform::FileExists(iniName)) return false;
  SystemTime stamp;
  if (!platform::GetWriteTimeByPath(iniName, stamp)) return false;
  const int64_t diff = MillisecondsOf(form.Env.UtcNow()) - MillisecondsOf(stamp);
  if (diff < 0) return false;  // stamped in the future: the clock was set back
  const int64_t n = diff / 1000;
  if (n > 179) return false;
  form.AddLogLine("ERROR: 自主規制で3分以内の再チェックを抑止しています。");
  form.AddLogLine("       前回に更新チェックをしたのは " + std::to_string(n) + " 秒前です。");
  form.AddLogLine("       放置すれば自動的にチェックが始まります。");
  form.AddLogLine();
  form.StartCheckTimer(static_cast<unsigned>(180001 - n * 1000));
  return true;
}

}  // namespace

bool IsCheckRestrained(TVekMainForm& form) {
  if (form.DorPath().empty()) {
    form.AddLogLine("ERROR: Dorvellaのディレクトリが設定されていません");
    form.AddLogLine();
    return true;
  }
  if (form.LastCheckTick != 0) return RefusedByInterval(form);
  return RefusedByThreeMinutes(form);
}

// Paths in the form the system writes them ("/" on POSIX), as every path a
// user reads.
void LogConfiguration(TVekMainForm& form) {
  const auto& combo = form.IdxComboBox;
  const bool selected = combo.ItemIndex >= 0 && combo.ItemIndex < static_cast<int>(combo.Items.size());
  form.AddLogLine("Configurations");
  form.AddLogLine("  AppPath: " + platform::DisplayPath(form.AppPath()));
  form.AddLogLine("  DorPath: " + platform::DisplayPath(form.DorPath()));
  form.AddLogLine("  SbjPath: " + platform::DisplayPath(form.SbjPath()));
  form.AddLogLine("  LogPath: " + platform::DisplayPath(form.LogPath()));
  form.AddLogLine("  IniFileName: " + platform::DisplayPath(form.IniFileName()));
  form.AddLogLine("  LogFileName: " + platform::DisplayPath(form.LogFileName()));
  form.AddLogLine("  BanListName: " + platform::DisplayPath(form.BanListName()));
  form.AddLogLine("  SubjectListName: " + platform::DisplayPath(form.SubjectListName()));
  form.AddLogLine("  Proxy: " + form.Proxy);
  form.AddLogLine("  TimeOutTime: " + std::to_string(form.TimeOutTime));
  form.AddLogLine("  IgnoreIdxList: " + form.IgnoreIdxList());
  form.AddLogLine("  IdxType: " + (selected ? combo.Items[static_cast<size_t>(combo.ItemIndex)] : std::string()));
  form.AddLogLine("  NewIdxName: " + form.NewIdxName);
  form.AddLogLine("  SoundName: " + form.SoundName);
  form.AddLogLine("  IconName: " + form.IconName);
  form.AddLogLine("  GreedyCheck: " + BoolToText(form.GreedyCheck()));
  form.AddLogLine("  NotifySound: " + BoolToText(form.NotifySound()));
  form.AddLogLine("  ExternalCheck: " + BoolToText(form.ExternalCheck()));
  form.AddLogLine("  timeBeginPeriod: " + std::to_string(form.TimerPeriod));
  form.AddLogLine();
}

}  // namespace vek
