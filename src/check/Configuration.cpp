// The configuration block: the paths and settings of the run as it starts.
#include "check/Configuration.h"

#include "platform/UserPaths.h"
#include "support/funcs.h"

namespace vek {

void LogConfiguration(const TRunContext& run, const TProgramSettings& program) {
  const TRunSettings& s = run.Settings;
  IRunLog& log = run.Log;
  log.AddLogLine("Configurations");
  log.AddLogLine("  AppPath: " + platform::DisplayPath(s.AppPath));
  log.AddLogLine("  DorPath: " + platform::DisplayPath(s.DorPath));
  log.AddLogLine("  SbjPath: " + platform::DisplayPath(s.SbjPath()));
  log.AddLogLine("  LogPath: " + platform::DisplayPath(s.LogPath()));
  log.AddLogLine("  IniFileName: " + platform::DisplayPath(s.IniFileName()));
  log.AddLogLine("  LogFileName: " + platform::DisplayPath(s.LogFileName()));
  log.AddLogLine("  BanListName: " + platform::DisplayPath(s.BanListName()));
  log.AddLogLine("  SubjectListName: " + platform::DisplayPath(s.SubjectListName()));
  log.AddLogLine("  Proxy: " + s.Fetch.Proxy);
  log.AddLogLine("  TimeOutTime: " + std::to_string(s.Fetch.TimeOutTime));
  log.AddLogLine("  IgnoreIdxList: " + s.IgnoreIdxList);
  log.AddLogLine("  IdxType: " + s.IdxTypeName);
  log.AddLogLine("  NewIdxName: " + s.NewIdxName);
  log.AddLogLine("  SoundName: " + program.SoundName);
  log.AddLogLine("  IconName: " + program.IconName);
  log.AddLogLine("  GreedyCheck: " + BoolToText(s.GreedyCheck));
  log.AddLogLine("  NotifySound: " + BoolToText(program.NotifySound));
  log.AddLogLine("  ExternalCheck: " + BoolToText(s.Fetch.ExternalCheck));
  // Shown only when on: the block stays as it was for those who never use them.
  if (program.CheckEvery > 0) log.AddLogLine("  CheckEvery: " + std::to_string(program.CheckEvery));
  if (program.NotifyBalloon) log.AddLogLine("  NotifyBalloon: " + BoolToText(true));
  if (s.Fetch.ConditionalGet) log.AddLogLine("  ConditionalGet: " + BoolToText(true));
  if (s.NextThreadReport) log.AddLogLine("  NextThreadReport: " + BoolToText(true) + " (NextThreadAt: " + std::to_string(s.NextThreadAt) + ")");
  log.AddLogLine("  timeBeginPeriod: " + std::to_string(program.TimerPeriod));
  log.AddLogLine();
}

}  // namespace vek
