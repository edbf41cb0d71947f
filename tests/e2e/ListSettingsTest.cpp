// Check runs shaped by the user's lists and settings: an ignored thread list
// file with the regeneration of step 4, boards added by subject_list.txt, a
// board skipped through ban_list.txt.
#include "ScenarioSupport.h"

namespace vek::e2e {
namespace {

class ListSettingsScenario : public TScenario {
 protected:
  void SetUp() override {
    TScenario::SetUp();
    if (IsSkipped()) return;
    Name = "list_settings";
    TIndexRecord news;
    news.Title = "見ているスレ";
    news.Host = H1Url();
    news.Board = "news";
    news.Key = "1000000001";
    news.ServerCount = news.LocalCount = "10";
    WriteIndex(H1() + "\\news\\1000000001.idx", news);
    TIndexRecord side = news;
    side.Title = "除外したリストのスレ";
    side.Board = "side";
    side.Key = "1100000001";
    side.ServerCount = side.LocalCount = "5";
    WriteIndex(H1() + "\\side\\1100000001.idx", side);
    WriteHostFile("favorite.idx", H1() + "\\news\\1000000001.idx\r\n");
    WriteHostFile("work.idx", H1() + "\\side\\1100000001.idx\r\n");

    // work.idx is left out of step 1; with GreedyCheck (the default) step 4
    // reads it again, but its board was never downloaded.
    WriteSettings("IgnoreIdxList=work.idx;\r\n");
    WriteProgFile("subject_list.txt",
                  "http://" + H1Url() + "/extra/subject.txt\r\nhttp://" + H1Url() + "/banned/subject.txt=0\r\n");
    WriteProgFile("ban_list.txt", "/banned/\r\n");

    Server.Put("/news/subject.txt", "1000000001.dat<>見ているスレ (12)\n");
    Server.Put("/side/subject.txt", "1100000001.dat<>除外したリストのスレ (9)\n");
    Server.Put("/banned/subject.txt", "1200000001.dat<>禁止した板のスレ (1)\n");
    Server.Put("/extra/subject.txt", "1300000001.dat<>追加した板のスレ (3)\n");
  }
};

TEST_F(ListSettingsScenario, IgnoredListRegeneratedAddedBoardFetchedBannedBoardSkipped) {
  WaitPastGuard();
  TProcessResult r = Vek("check");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  // The banned board and the ignored list's board are never asked for.
  EXPECT_EQ(Server.Requests(), (std::vector<std::string>{"/extra/subject.txt", "/news/subject.txt"}));
  ExpectStep("1-first-check");

  // A new thread on the board that only subject_list.txt names is reported.
  Server.Put("/extra/subject.txt", "1300000002.dat<>追加した板の新スレ (1)\n1300000001.dat<>追加した板のスレ (4)\n");
  WaitPastGuard();
  r = Vek("check");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectStep("2-second-check");
}

}  // namespace
}  // namespace vek::e2e
