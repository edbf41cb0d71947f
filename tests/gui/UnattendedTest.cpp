// The window left to itself, on a virtual clock: periodic checks armed for
// the later of the interval and the guard's pause (so none is refused), the
// balloon with each run's counts, and "AutoShutDown" winning over both.
#include <gtest/gtest.h>

#include "../check/LoopbackServer.h"
#include "GuiTestSupport.h"
#include "VirtualClock.h"
#include "support/funcs.h"

namespace vek::test {
namespace {

class Unattended : public ::testing::Test {
 protected:
  // A periodic check that completes.
  void Fire() { ASSERT_EQ(FireCheckTimer(F, Clock), TRunOutcome::Completed) << F.Form->LastRun().Error; }
  std::string LastLogLine() const {
    const auto& lines = F.Form->LogMemo.Lines;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
      if (!it->empty()) return *it;
    return "";
  }
  bool LogHas(const std::string& start) const {
    for (const std::string& line : F.Form->LogMemo.Lines)
      if (line.rfind(start, 0) == 0) return true;
    return false;
  }

  TWindowFixture F;
  TVirtualClock Clock;
};

// Nine boards on one server (a pause of three minutes), one on a server that
// is down; one watched thread with news and one that fell. Then the boards
// go, and the one-minute interval is the longer wait.
TEST_F(Unattended, PeriodicChecksWaitForTheLongerOfIntervalAndPauseAndTheBalloonCountsEachRun) {
  TLoopbackServer server;
  const std::string port = std::to_string(server.Port);
  const std::string hostDir = "127.0.0.1%3A" + port;
  std::string boards;
  for (const char* board : {"b", "c", "d", "e", "f", "g", "h", "i"}) {
    server.Put(std::string("/") + board + "/subject.txt", "1100000001.dat<>old (1)\n");
    boards += "http://127.0.0.1:" + port + "/" + board + "/subject.txt\r\n";
  }
  server.Put("/a/subject.txt", "1000000001.dat<>grown (15)\n");
  WriteFile(F.AppPath() + "subject_list.txt", boards + "http://127.0.0.2:" + port + "/x/subject.txt\r\n");
  const std::string record = "0\t0\t5\tt\t\t\t10\t10\t10\t-1\t\r\n";
  WriteFile(F.DorPath() + "log\\" + hostDir + "\\a\\1000000001.idx", record);
  WriteFile(F.DorPath() + "log\\" + hostDir + "\\a\\1000000002.idx", record);
  WriteFile(F.DorPath() + "favorite.idx", hostDir + "\\a\\1000000001.idx\r\n" + hostDir + "\\a\\1000000002.idx\r\n");
  F.WriteSettings("PrimarySuffixes=127.0.0.1%3A\r\nCheckEvery=1\r\nNotifyBalloon=1\r\nFailedReport=0\r\nTimeOutTime=5\r\n");
  F.Open({}, Clock);

  // The last check lies an hour back: the first comes a second after start.
  EXPECT_EQ(F.Form->Timer.Interval, 1000u);
  EXPECT_EQ(LastLogLine().rfind("Next check: ", 0), 0u) << LastLogLine();
  Fire();
  EXPECT_EQ(F.Window->Notices.back(), "VEK|新着 1 / DAT落ち 1 / 新スレ 0\n取得失敗 1板");
  EXPECT_EQ(F.Form->Timer.Interval, 180001u);
  EXPECT_EQ(LastLogLine().rfind("Next check: ", 0), 0u) << LastLogLine();

  server.Put("/b/subject.txt", "1100000002.dat<>new on b (1)\n1100000001.dat<>old (1)\n");
  server.Put("/c/subject.txt", "1100000003.dat<>new on c (1)\n1100000001.dat<>old (2)\n");
  Fire();
  EXPECT_EQ(F.Window->Notices.back(), "VEK|新着 1 / DAT落ち 1 / 新スレ 2\n取得失敗 1板");

  WriteFile(F.DorPath() + "favorite.idx", "");
  WriteFile(F.AppPath() + "subject_list.txt", "");
  Fire();
  EXPECT_EQ(F.Window->Notices.back(), "VEK|新着 0 / DAT落ち 0 / 新スレ 0");
  EXPECT_EQ(F.Form->Timer.Interval, 60000u);
  Fire();
  EXPECT_EQ(F.Form->Timer.Interval, 60000u);
  EXPECT_FALSE(LogHas("ERROR:"));
  EXPECT_EQ(server.Requests().size(), 18u);  // nine boards, twice

  // A click on the balloon brings the window up, as one on the icon does.
  ShowWindow(F.Hwnd(), SW_MINIMIZE);
  SendMessageW(F.Window->TrayWindow(), win32::WM_TRAYNOTIFY, 1, NIN_BALLOONUSERCLICK);
  EXPECT_TRUE(IsWindowVisible(F.Hwnd()));

  // The interval through its input box: refused text changes nothing, 0 stops.
  F.Window->Answers = {"ten", "5", "0"};
  F.Command(F.Form->CheckEveryMenu);
  EXPECT_EQ(F.Window->Messages.back(), "0 から 10080 までの分数を入れてください");
  F.Command(F.Form->CheckEveryMenu);
  EXPECT_EQ(F.Window->Asked.back(), "定期チェックの設定|チェックの間隔（分、0 でしない）|1");
  EXPECT_NEAR(F.Form->Timer.Interval, 5 * 60000, 1000);  // from the last check's end
  F.Command(F.Form->CheckEveryMenu);
  EXPECT_FALSE(F.Form->Timer.Enabled);
  F.Close();
  EXPECT_NE(F.Settings().find("CheckEvery=0\r\nNotifyBalloon=1\r\n"), std::string::npos) << F.Settings();
}

TEST_F(Unattended, AutoShutDownEndsTheProgramAfterItsFirstCheck) {
  F.WriteSettings("CheckEvery=1\r\nAutoShutDown=1\r\nAutoStart=1\r\n");
  F.Open({}, Clock);
  EXPECT_EQ(F.Form->Timer.Interval, 1000u);
  EXPECT_FALSE(LogHas("Next check: "));
  Fire();
  EXPECT_FALSE(F.Form->Timer.Enabled);
  EXPECT_FALSE(LogHas("Next check: "));
  F.Pump(200);
  EXPECT_FALSE(IsWindow(F.Hwnd()));
}

}  // namespace
}  // namespace vek::test
