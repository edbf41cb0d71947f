// The run guard's three rules and the configuration block.
#include <gtest/gtest.h>

#include "FormTestSupport.h"
#include "check/Configuration.h"
#include "check/RunGuard.h"
#include "platform/Files.h"
#include "platform/UserPaths.h"

namespace vek::test {
namespace {

class RunGuard : public ::testing::Test {
 protected:
  TVekMainForm& Start() {
    Fixture.WriteSettings();
    TVekMainForm& form = Fixture.Create();
    Fixture.View.Log.clear();
    return form;
  }
  static std::optional<uint32_t> Guard(TVekMainForm& form) { return CheckRestraint(form.RunContext(), form.RunState); }
  void StampSettings(int64_t secondsAgo) {
    SetFileWriteTime(Fixture.App("vek.ini"), TimeOfSeconds(Fixture.Env.UtcSeconds - secondsAgo));
  }
  TFormFixture Fixture;
};

TEST_F(RunGuard, RefusesWithoutHostDirectoryAndLeavesTimerStopped) {
  TVekMainForm& form = Fixture.Create();
  Fixture.View.Log.clear();
  ASSERT_TRUE(form.DorPath().empty());
  form.UpdateCheckMenuClick();
  EXPECT_EQ(form.LastRun().Outcome, TRunOutcome::Refused);
  EXPECT_EQ(form.LastRun().NextRunAfter, 0u);
  EXPECT_EQ(Fixture.View.Log, (std::vector<std::string>{"ERROR: Dorvellaのディレクトリが設定されていません", ""}));
  EXPECT_TRUE(Fixture.View.ArmedTimers.empty());
  EXPECT_FALSE(form.Timer.Enabled);
}

TEST_F(RunGuard, ThreeMinuteRuleCountsFromTheSettingsFileStamp) {
  TVekMainForm& form = Start();
  StampSettings(42);
  form.UpdateCheckMenuClick();
  EXPECT_EQ(form.LastRun().Outcome, TRunOutcome::Refused);
  EXPECT_EQ(Fixture.View.Log, (std::vector<std::string>{
                                  "ERROR: 自主規制で3分以内の再チェックを抑止しています。",
                                  "       前回に更新チェックをしたのは 42 秒前です。",
                                  "       放置すれば自動的にチェックが始まります。",
                                  "",
                              }));
  ASSERT_EQ(Fixture.View.ArmedTimers, std::vector<unsigned>{180001 - 42000});
  EXPECT_TRUE(form.Timer.Enabled);
  EXPECT_EQ(form.Timer.Interval, 180001u - 42000u);
}

TEST_F(RunGuard, ThreeMinuteRuleBoundaries) {
  struct Case {
    int64_t secondsAgo;
    bool refused;
    unsigned timer;
  };
  for (const Case c : {Case{0, true, 180001}, Case{179, true, 1001}, Case{180, false, 0}, Case{200, false, 0},
                       Case{-30, false, 0}}) {
    TFormFixture fixture;
    fixture.WriteSettings();
    TVekMainForm& form = fixture.Create();
    SetFileWriteTime(fixture.App("vek.ini"), TimeOfSeconds(fixture.Env.UtcSeconds - c.secondsAgo));
    const std::optional<uint32_t> wait = Guard(form);
    EXPECT_EQ(wait.has_value(), c.refused) << c.secondsAgo;
    EXPECT_EQ(wait.value_or(0), c.timer) << c.secondsAgo;
  }
}

TEST_F(RunGuard, MissingSettingsFileDoesNotRefuse) {
  TVekMainForm& form = Start();
  ASSERT_TRUE(platform::DeleteFile(Fixture.App("vek.ini")));
  EXPECT_FALSE(Guard(form));
  EXPECT_TRUE(Fixture.View.Log.empty());
  EXPECT_FALSE(Exists(Fixture.App("vek.ini")));
}

TEST_F(RunGuard, IntervalRuleRefusesAndReArmsForTheRest) {
  TVekMainForm& form = Start();
  form.RunState.LastCheckTick = Fixture.Env.Tick;
  form.RunState.CheckInterval = 80000;
  Fixture.Env.Tick += 30000;
  form.UpdateCheckMenuClick();
  EXPECT_EQ(form.LastRun().Outcome, TRunOutcome::Refused);
  EXPECT_EQ(Fixture.View.Log, (std::vector<std::string>{
                                  "ERROR: 自主規制で短時間過ぎるまで再チェックを抑止しています。",
                                  "       前回に更新チェックをしたのは 30 秒前です。",
                                  "       放置すれば 50 秒後に自動的にチェックが始まります。",
                                  "",
                              }));
  EXPECT_EQ(Fixture.View.ArmedTimers, std::vector<unsigned>{80000 - 30000 + 1});
}

TEST_F(RunGuard, IntervalRuleOverridesTheStampAndSurvivesTickWrap) {
  TVekMainForm& form = Start();
  StampSettings(0);  // would refuse under the three-minute rule
  form.RunState.CheckInterval = 80000;
  form.RunState.LastCheckTick = 0xFFFFF000u;
  Fixture.Env.Tick = 0x00010000u;  // 69632 ms later, across the wrap
  EXPECT_EQ(Guard(form), 80000u - 69632 + 1);
  EXPECT_EQ(RestraintWait(form.RunContext(), form.RunState), 80000u - 69632 + 1);
  Fixture.Env.Tick += 10368;  // exactly the interval
  EXPECT_FALSE(Guard(form));
  EXPECT_EQ(RestraintWait(form.RunContext(), form.RunState), 0u);
  form.RunState.CheckInterval = 0;
  EXPECT_FALSE(Guard(form));
}

TEST_F(RunGuard, ConfigurationBlock) {
  Fixture.WriteSettings("Proxy=proxy:8080\r\nTimeOutTime=20\r\nIgnoreIdxList=a.idx;b.idx;\r\nIdxType=2\r\n"
                        "NotifySound=0\r\n");
  WriteFile(Fixture.Dor("a.idx"), "");
  WriteFile(Fixture.Dor("b.idx"), "");
  TVekMainForm& form = Fixture.Create();
  form.TimerPeriod = 3;
  Fixture.View.Log.clear();
  LogConfiguration(form.RunContext(), form.ProgramSettings());
  const std::string app = Fixture.AppPath();
  const std::string dor = Fixture.DorPath();
  const std::string selected = form.IdxComboBox.Items[2];
  // Paths as the system writes them: "/" on POSIX.
  const auto Shown = [](const std::string& path) { return platform::DisplayPath(path); };
  EXPECT_EQ(Fixture.View.Log, (std::vector<std::string>{
                                  "Configurations",
                                  "  AppPath: " + Shown(app),
                                  "  DorPath: " + Shown(dor),
                                  "  SbjPath: " + Shown(app + "subject\\"),
                                  "  LogPath: " + Shown(dor + "log\\"),
                                  "  IniFileName: " + Shown(app + "vek.ini"),
                                  "  LogFileName: " + Shown(app + "veklog.txt"),
                                  "  BanListName: " + Shown(app + "ban_list.txt"),
                                  "  SubjectListName: " + Shown(app + "subject_list.txt"),
                                  "  Proxy: proxy:8080",
                                  "  TimeOutTime: 20",
                                  "  IgnoreIdxList: a.idx;b.idx;",
                                  "  IdxType: " + selected,
                                  "  NewIdxName: $$$$$$$$.idx",
                                  "  SoundName: MailBeep",
                                  "  IconName: ",
                                  "  GreedyCheck: True",
                                  "  NotifySound: False",
                                  "  ExternalCheck: True",
                                  "  timeBeginPeriod: 3",
                                  "",
                              }));
}

}  // namespace
}  // namespace vek::test
