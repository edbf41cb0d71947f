// The form's timer, controls, log pane and view switching.
#include <gtest/gtest.h>

#include "../check/FormTestSupport.h"

namespace vek::test {
namespace {

using Lines = std::vector<std::string>;

TEST(FormCommands, StartCheckRequestsAreDroppedDuringARun) {
  TFormFixture f;
  TVekMainForm& form = f.Create();
  form.SetRunUnderWay(true);
  form.WMStartCheck();
  EXPECT_TRUE(f.View.ArmedTimers.empty());
  form.SetRunUnderWay(false);
  form.WMStartCheck();
  EXPECT_EQ(f.View.ArmedTimers, std::vector<unsigned>{1000});
  // Arming again replaces the first arming.
  form.StartCheckTimer(250);
  EXPECT_EQ(f.View.TimerStops, 1);
  EXPECT_EQ(form.Timer.Interval, 250u);
}

TEST(FormCommands, RunControlsInTheirOrder) {
  TFormFixture f;
  TVekMainForm& form = f.Create();
  f.View.Changed.clear();
  form.SetRunUnderWay(true);
  EXPECT_EQ(f.View.Changed, (Lines{"IgnoreIdxButton", "FileMenu", "ExecuteMenu", "ConfigAMenu", "ConfigBMenu",
                                   "ConfigCMenu", "UpdateCheckButton", "IdxComboBox", "InitNewReportButton"}));
  EXPECT_FALSE(form.ExecuteMenu.Enabled);
  EXPECT_FALSE(form.InitNewReportButton.Enabled);
  EXPECT_TRUE(form.QuitMenu.Enabled);
}

TEST(FormCommands, AppendGrowsTheLastLine) {
  TFormFixture f;
  TVekMainForm& form = f.Create();
  form.AddLogLine("Generate Subject List ... ");
  form.AppendToLogLine("done(0.10s)");
  EXPECT_EQ(form.LogMemo.Lines.back(), "Generate Subject List ... done(0.10s)");
  EXPECT_EQ(f.View.Log.back(), "Generate Subject List ... done(0.10s)");
}

TEST(FormCommands, IgnoreViewSwitchesBackAndARunReturnsToTheLog) {
  TFormFixture f;
  TVekMainForm& form = f.Create();
  form.IgnoreIdxMenuClick();
  EXPECT_EQ(form.IgnoreIdxMenu.Tag, 1);
  EXPECT_EQ(form.IgnoreIdxButton.Caption, "ログ表示");
  EXPECT_TRUE(form.IgnoreIdxCheckListBox.Visible);
  EXPECT_FALSE(form.LogMemo.Visible);
  form.IgnoreIdxMenuClick();
  EXPECT_EQ(form.IgnoreIdxMenu.Caption, "除外指定");
  EXPECT_EQ(form.IgnoreIdxButton.Caption, "除外指定");
  EXPECT_TRUE(form.LogMemo.Visible);

  TFormFixture g;
  g.WriteSettings();
  TVekMainForm& running = g.Create();
  running.IgnoreIdxMenuClick();
  running.UpdateCheckMenuClick();
  ASSERT_EQ(running.LastRun().Outcome, TRunOutcome::Completed) << running.LastRun().Error;
  EXPECT_EQ(running.IgnoreIdxMenu.Tag, 0);
  EXPECT_TRUE(running.LogMemo.Visible);
}

TEST(FormCommands, QuitClosesTheWindow) {
  TFormFixture f;
  TVekMainForm& form = f.Create();
  form.QuitMenuClick();
  EXPECT_EQ(f.View.Closes, 1);
}

}  // namespace
}  // namespace vek::test
