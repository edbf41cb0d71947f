// The run driver without a window: what it shows through IRunProgress, in
// order, and what its result says for a run that completed, was refused or
// failed.
#include <gtest/gtest.h>

#include "FormTestSupport.h"
#include "check/CheckRun.h"
#include "check/NextCheck.h"

namespace vek::test {
namespace {

using Lines = std::vector<std::string>;

// Every call of the driver as one line, in the order it came.
class TProgressRecorder : public IRunProgress, public IRunLog {
 public:
  void SetRunTitle(const std::string& title) override { Calls.push_back("title " + title); }
  void SetRunStatus(const std::string& text) override { Calls.push_back("status " + text); }
  void SetTrayFrame(int frame) override { Calls.push_back("tray " + std::to_string(frame)); }
  void SetRunUnderWay(bool underWay) override { Calls.push_back(underWay ? "controls off" : "controls on"); }
  void ShowLogPane() override { Calls.push_back("log pane"); }
  void OpenDocument(const std::string& path) override { Calls.push_back("open " + path); }
  void CloseHostBrowser() override { Calls.push_back("close host"); }
  void StartHostBrowser() override { Calls.push_back("start host"); }
  void AddLogLine(const std::string& text) override { Log.push_back(text); }
  void AppendToLogLine(const std::string& text) override { Log.back() += text; }
  void ProcessMessages() override {}
  Lines Calls, Log;
};

class RunDriver : public ::testing::Test {
 protected:
  RunDriver() {
    Settings.AppPath = Fixture.AppPath();
    Settings.DorPath = Fixture.DorPath();
  }
  TRunResult Run() { return RunUpdateCheck(TRunContext{Settings, Progress, Fixture.Env}, {}, Progress, State); }
  TFormFixture Fixture;
  TRunSettings Settings;
  TProgressRecorder Progress;
  TRunState State;
};

// One board, skipped by the ban list without a request: it counts for the
// pause (20 s) and is reported as failed.
TEST_F(RunDriver, CompletedRunShowsEveryStepAndHandsTheControlsBack) {
  WriteFile(Fixture.App("subject_list.txt"), "http://127.0.0.1:9/a/subject.txt\r\n");
  WriteFile(Fixture.App("ban_list.txt"), "/a/\r\n");
  Settings.AutoDorFin = Settings.AutoDorRun = true;
  const TRunResult result = Run();
  ASSERT_EQ(result.Outcome, TRunOutcome::Completed) << result.Error;
  EXPECT_EQ(Progress.Calls,
            (Lines{"log pane", "close host", "controls off", "tray 0", "title VEK [1/7]", "title VEK [2/7]",
                   "title VEK [3/7] (0/1)", "status 0/1", "status 1/1", "open " + Fixture.App("failed.txt"),
                   "title VEK [4/7]", "title VEK [5/7]", "title VEK [6/7]", "title VEK [7/7]", "title VEK", "tray -1",
                   "start host", "controls on"}));
  EXPECT_EQ(result.NextRunAfter, IntervalPerBoard + 1);
  EXPECT_EQ(result.FailedBoards, Lines{"http://127.0.0.1:9/a/subject.txt"});
  EXPECT_TRUE(result.UpdatedThreads.empty());
  EXPECT_TRUE(result.FallenThreads.empty());
  EXPECT_TRUE(State.HoldsSettingsFile());
  // What a periodic check right after it waits for at least.
  EXPECT_EQ(NextCheckDelay(1, 0, result.NextRunAfter), 60000u);
}

TEST_F(RunDriver, RefusedRunTouchesNothingAndSaysHowLongToWait) {
  State.LastCheckTick = Fixture.Env.Tick - 1000;
  State.CheckInterval = 20000;
  TRunResult result = Run();
  EXPECT_EQ(result.Outcome, TRunOutcome::Refused);
  EXPECT_EQ(result.NextRunAfter, 19001u);
  EXPECT_TRUE(Progress.Calls.empty());
  EXPECT_EQ(Progress.Log.size(), 4u);
  // Without a host directory waiting does not help.
  Settings.DorPath.clear();
  result = Run();
  EXPECT_EQ(result.Outcome, TRunOutcome::Refused);
  EXPECT_EQ(result.NextRunAfter, 0u);
  EXPECT_TRUE(Progress.Calls.empty());
}

TEST_F(RunDriver, FailedRunGoesBackToIdleAndKeepsThePause) {
  // The new-arrival list cannot replace a directory.
  WriteFile(Fixture.Dor("$$$$$$$$.idx\\blocker"), "");
  WriteFile(Fixture.App("subject_list.txt"), "http://127.0.0.1:9/a/subject.txt\r\n");
  WriteFile(Fixture.App("ban_list.txt"), "/a/\r\n");
  Settings.FailedReport = false;
  const TRunResult result = Run();
  ASSERT_EQ(result.Outcome, TRunOutcome::Failed);
  EXPECT_FALSE(result.Error.empty());
  EXPECT_EQ(Progress.Log[Progress.Log.size() - 2], "ERROR: " + result.Error);
  const Lines tail(Progress.Calls.end() - 4, Progress.Calls.end());
  EXPECT_EQ(tail, (Lines{"title VEK [7/7]", "title VEK", "tray -1", "controls on"}));
  EXPECT_EQ(std::count(Progress.Calls.begin(), Progress.Calls.end(), "controls off"), 1);
  EXPECT_EQ(result.NextRunAfter, IntervalPerBoard + 1);
  EXPECT_TRUE(result.FailedBoards.empty());
  EXPECT_FALSE(State.HoldsSettingsFile());
}

TEST(RunDriverText, ElapsedInSecondsWithTwoDecimals) {
  TFakeEnv env;
  const uint32_t start = env.Tick;
  env.Tick += 1250;
  EXPECT_EQ(ElapsedText(env, start), "1.25");
  env.Tick = 1000;  // the counter wrapped meanwhile
  EXPECT_EQ(ElapsedText(env, 0xFFFFFFFFu - 999), "2.00");
  EXPECT_EQ(ElapsedText(env, env.Tick), "0.00");
}

// The next periodic check: the interval after the last run, but never before
// the guard lets a run start, and never sooner than a second from now.
TEST(NextCheck, LaterOfTheIntervalAndTheGuardsWait) {
  struct Case {
    int everyMinutes;
    uint32_t sinceLastRun, guardWait, expected;
  };
  for (const Case c : {Case{1, 0, 0, 60000}, Case{1, 0, 90000, 90000}, Case{1, 20000, 0, 40000},
                       Case{1, 50000, 30000, 30000}, Case{1, 60000, 0, CheckStartDelay},
                       Case{1, 3600000, 500, CheckStartDelay}, Case{2, 0, 180001, 180001},
                       Case{MaxCheckEvery + 5, 0, 0, MaxCheckEvery * 60000u}}) {
    EXPECT_EQ(NextCheckDelay(c.everyMinutes, c.sinceLastRun, c.guardWait), c.expected)
        << c.everyMinutes << " " << c.sinceLastRun << " " << c.guardWait;
  }
}

}  // namespace
}  // namespace vek::test
