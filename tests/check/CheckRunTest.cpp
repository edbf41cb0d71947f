// A check run as the form drives it: one run from the outside, its log line
// for line, titles, status texts, tray frames, the files it leaves, and what
// the form does with its end (the driver alone: RunDriverTest.cpp; the
// end-to-end runs of `vek check`: tests/e2e).
#include <gtest/gtest.h>

#include "FormTestSupport.h"
#include "fetch/SubjectFetch.h"
#include "LoopbackServer.h"
#include "check/RunGuard.h"
#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/UserPaths.h"

namespace vek::test {
namespace {

using Lines = std::vector<std::string>;

class CheckRun : public ::testing::Test {
 protected:
  TVekMainForm& Start(const std::string& extraKeys = "") {
    Fixture.WriteSettings(extraKeys);
    TVekMainForm& form = Fixture.Create();
    Fixture.View = TRecordingView();
    return form;
  }
  // The configuration block as the run writes it.
  Lines ConfigurationBlock(TVekMainForm& form) {
    TRecordingView saved = Fixture.View;
    Fixture.View.Log.clear();
    LogConfiguration(form.RunContext(), form.ProgramSettings());
    Lines block = Fixture.View.Log;
    Fixture.View = saved;
    return block;
  }
  Lines Expected(TVekMainForm& form, const Lines& steps1to3, const Lines& rest) {
    Lines lines{"***** Start!! *****  (*)", ""};
    for (const auto& l : ConfigurationBlock(form)) lines.push_back(l);
    lines.insert(lines.end(), steps1to3.begin(), steps1to3.end());
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
  }
  bool SettingsFileLocked() {
    const platform::FileHandle h = platform::OpenNoShare(Fixture.App("vek.ini"));
    platform::CloseHandle(h);
    return h == 0;
  }
  TFormFixture Fixture;
};

const Lines Steps4to7 = {
    "Regenerate Dat List: skipped", "", "Set Res Count ... done(*s)", "", "Write Dead Threads Data ... done(*s)", "",
    "Write New Threads Data ... done(*s)", "", "***** Done!! *****  (*)", ""};

TEST_F(CheckRun, WithoutBoardsWalksEveryStep) {
  TVekMainForm& form = Start();
  form.UpdateCheckMenuClick();
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;
  EXPECT_EQ(MaskedLog(form.LogMemo.Lines).size(), Fixture.View.Log.size() + 3);  // banner before the run
  EXPECT_EQ(MaskedLog(Fixture.View.Log),
            Expected(form,
                     {"Generate Dat List: start", "  Generate Idx List ... done", "Generate Dat List: done(*s)", "",
                      "Generate Subject List ... done(*s)", "", "Get subject.txt: start", "  Interval: 0",
                      "Get subject.txt: done", ""},
                     Steps4to7));
  EXPECT_EQ(Fixture.View.StatusTexts, Lines{"0/0"});
  EXPECT_EQ(form.RunState.CheckInterval, 0u);
  EXPECT_EQ(form.RunState.LastCheckTick, Fixture.Env.Tick);
  EXPECT_EQ(ReadFile(Fixture.Dor("$$$$$$$$.idx")), "localhost\\vek\\1000000000.idx\r\n");
  EXPECT_FALSE(Exists(Fixture.App("failed.txt")));
  EXPECT_EQ(Fixture.View.Sounds, Lines{"MailBeep nowait"});
  EXPECT_TRUE(form.ExecuteMenu.Enabled);
  EXPECT_TRUE(form.UpdateCheckButton.Enabled);
  EXPECT_GE(Fixture.View.TimerStops, 1);
}

TEST_F(CheckRun, EndStampsAndLocksTheSettingsFile) {
  TVekMainForm& form = Start();
  Fixture.Env.UtcSeconds += 5;
  form.UpdateCheckMenuClick();
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;
  EXPECT_TRUE(form.RunState.HoldsSettingsFile());
  EXPECT_TRUE(SettingsFileLocked());
  platform::SystemTime stamp;
  ASSERT_TRUE(platform::GetWriteTimeByPath(Fixture.App("vek.ini"), stamp));
  EXPECT_EQ(SystemTimeToSeconds(stamp), Fixture.Env.UtcSeconds);
  // Exit lets go of it and keeps the stamp.
  form.FormDestroy();
  EXPECT_FALSE(SettingsFileLocked());
  ASSERT_TRUE(platform::GetWriteTimeByPath(Fixture.App("vek.ini"), stamp));
  EXPECT_EQ(SystemTimeToSeconds(stamp), Fixture.Env.UtcSeconds);
}

TEST_F(CheckRun, RefusedRunLeavesNoOtherTrace) {
  TVekMainForm& form = Start();
  form.RunState.LastCheckTick = Fixture.Env.Tick - 1000;
  form.RunState.CheckInterval = 20000;
  form.UpdateCheckMenuClick();
  EXPECT_EQ(form.LastRun().Outcome, TRunOutcome::Refused);
  EXPECT_TRUE(Fixture.View.Changed == Lines{"Timer"});
  EXPECT_EQ(Fixture.View.ArmedTimers, std::vector<unsigned>{19001});
  EXPECT_FALSE(Exists(Fixture.Dor("$$$$$$$$.idx")));
  // The re-armed timer starts the run once the pause is over.
  Fixture.Env.Tick += 19001;
  form.TimerTimer();
  EXPECT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;
}

TEST_F(CheckRun, RegenerationWhenFilesAreLeftOut) {
  Fixture.WriteIndex("a.5ch.net\\b\\1.idx", "0");
  WriteFile(Fixture.Dor("fav.idx"), "a.5ch.net\\b\\1.idx\r\n");
  WriteFile(Fixture.Dor("skip.idx"), "");
  TVekMainForm& form = Start("IgnoreIdxList=skip.idx;\r\nTimeOutTime=1\r\n");
  form.PrimarySuffixes = "";  // no network lookups: the board is external and has no host field
  form.UpdateCheckMenuClick();
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;
  const Lines log = MaskedLog(Fixture.View.Log);
  const std::string dor = platform::DisplayPath(Fixture.DorPath());  // as the log shows paths
  auto at = std::find(log.begin(), log.end(), "Regenerate Dat List: start");
  ASSERT_NE(at, log.end());
  const Lines regeneration(at, at + 6);
  const bool favFirst = regeneration[2] == "  Read: " + dor + "fav.idx";
  EXPECT_EQ(regeneration, (Lines{"Regenerate Dat List: start", "  Generate Idx List ... done",
                                 "  Read: " + dor + (favFirst ? "fav.idx" : "skip.idx"),
                                 "  Read: " + dor + (favFirst ? "skip.idx" : "fav.idx"),
                                 "Generate Dat List: done(*)", ""}));
  EXPECT_EQ(std::count(log.begin(), log.end(), "  Read: " + dor + "skip.idx"), 1);
}

TEST_F(CheckRun, AnEscapingErrorIsLoggedAndTheWindowGoesBackToIdle) {
  // The new-arrival list cannot replace a directory.
  WriteFile(Fixture.Dor("$$$$$$$$.idx\\blocker"), "");
  TVekMainForm& form = Start();
  platform::SystemTime before;
  ASSERT_TRUE(platform::GetWriteTimeByPath(Fixture.App("vek.ini"), before));
  form.UpdateCheckMenuClick();
  EXPECT_EQ(form.LastRun().Outcome, TRunOutcome::Failed);
  EXPECT_TRUE(form.ExecuteMenu.Enabled);
  EXPECT_TRUE(form.IdxComboBox.Enabled);
  EXPECT_TRUE(Fixture.View.Sounds.empty());
  platform::SystemTime after;
  ASSERT_TRUE(platform::GetWriteTimeByPath(Fixture.App("vek.ini"), after));
  EXPECT_EQ(SystemTimeToSeconds(after), SystemTimeToSeconds(before));  // not stamped
  EXPECT_FALSE(form.RunState.HoldsSettingsFile());
}

TEST_F(CheckRun, AutoShutDownPlaysTheSoundToItsEndThenCloses) {
  TVekMainForm& form = Start("AutoShutDown=1\r\nSoundName=done.wav\r\n");
  form.UpdateCheckMenuClick();
  EXPECT_EQ(Fixture.View.Sounds, Lines{"done.wav wait"});
  EXPECT_EQ(Fixture.View.Closes, 1);
}

#ifndef _WIN32

const std::string Listing = "1000000001.dat<>first (5)\n1000000002.dat<>second (7)\n";

TEST_F(CheckRun, BoardsFailingSkippedAndFetched) {
  TLoopbackServer server;
  const std::string good = "http://127.0.0.1:" + std::to_string(server.Port);
  const std::string bad = "http://127.0.0.2:" + std::to_string(server.Port);
  for (const char* board : {"/a/subject.txt", "/b/subject.txt", "/e/subject.txt"}) server.Put(board, Listing);
  WriteFile(Fixture.App("subject_list.txt"), good + "/a/subject.txt=0\r\n" + good + "/b/subject.txt=0\r\n" + bad +
                                                 "/c/subject.txt=0\r\n" + bad + "/d/subject.txt=0\r\n" + good +
                                                 "/e/subject.txt=0\r\n");
  TVekMainForm& form = Start("TimeOutTime=5\r\n");
  form.UpdateCheckMenuClick();
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;
  const Lines log = MaskedLog(Fixture.View.Log);
  EXPECT_EQ(log, Expected(form,
                          {"Generate Dat List: start", "  Generate Idx List ... done", "Generate Dat List: done(*s)",
                           "", "Generate Subject List ... done(*s)", "", "Get subject.txt: start",
                           "  Get " + good + "/a/subject.txt=0 ... done(*s)",
                           "  Get " + good + "/b/subject.txt=0 ... done(*s)",
                           "  Get " + bad + "/c/subject.txt=0 ... failed(*s)",
                           "  Get " + bad + "/d/subject.txt=0 ... skipped",
                           "  Get " + good + "/e/subject.txt=0 ... done(*s)", "  Interval: 60",
                           "Get subject.txt: done", ""},
                          Steps4to7));
  EXPECT_EQ(Fixture.View.TrayImages, (std::vector<int>{0, 2, 5, 19, 22, 25, -1}));
  EXPECT_EQ(Fixture.View.StatusTexts, (Lines{"0/5", "1/5", "2/5", "3/5", "4/5", "5/5"}));
  EXPECT_EQ(Fixture.View.Titles[2], "VEK [3/7] (0/5)");
  EXPECT_EQ(Fixture.View.Titles[6], "VEK [3/7] (4/5)");
  EXPECT_EQ(form.RunState.CheckInterval, 60000u);
  EXPECT_EQ(ReadFile(Fixture.App("failed.txt")), bad + "/c/subject.txt=0\r\n" + bad + "/d/subject.txt=0\r\n");
  EXPECT_EQ(Fixture.View.OpenedDocuments, Lines{Fixture.App("failed.txt")});
  EXPECT_EQ(server.Requests(), (Lines{"/a/subject.txt", "/b/subject.txt", "/e/subject.txt"}));
}

// 25 boards on three hosts, in an order that is not sorted: two hosts that
// answer and one where nothing listens. The downloads follow the list's own
// order (the busiest-host count sorts it only afterwards); a board named in
// the ban list is skipped without a request; the first board of the dead host
// fails and the rest of that host is skipped.
TEST_F(CheckRun, TwentyFiveBoardsOnThreeHostsOneDown) {
  TLoopbackServer serverA, serverB;
  const std::string hostA = "127.0.0.1:" + std::to_string(serverA.Port);
  const std::string hostB = "127.0.0.1:" + std::to_string(serverB.Port);
  const std::string down = "127.0.0.2:" + std::to_string(serverA.Port);  // refused: nothing bound there
  // A: 7 boards (one banned), B: 6, down: 12. Board names fall as i rises.
  const std::string hostOf = "ABACBCACBCACCBACCBCACBCAC";
  ASSERT_EQ(hostOf.size(), 25u);
  Lines lines;
  Lines requestsA, requestsB;
  for (int i = 0; i < 25; ++i) {
    const std::string board = "/b" + std::to_string(30 - i) + "/subject.txt";
    const char h = hostOf[static_cast<size_t>(i)];
    lines.push_back("http://" + (h == 'A' ? hostA : h == 'B' ? hostB : down) + board + "=0");
    if (h == 'A' && i != 2) requestsA.push_back(board);
    if (h == 'B') requestsB.push_back(board);
    if (h != 'C') (h == 'A' ? serverA : serverB).Put(board, Listing);
  }
  std::string subjectList;
  for (const auto& l : lines) subjectList += l + "\r\n";
  WriteFile(Fixture.App("subject_list.txt"), subjectList);
  WriteFile(Fixture.App("ban_list.txt"), "/b28/\r\n");
  TVekMainForm& form = Start("TimeOutTime=5\r\n");
  form.UpdateCheckMenuClick();
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;

  Lines steps1to3 = {"Generate Dat List: start", "  Generate Idx List ... done", "Generate Dat List: done(*s)", "",
                     "Generate Subject List ... done(*s)", "", "Get subject.txt: start"};
  Lines failed;
  for (int i = 0; i < 25; ++i) {
    const std::string& l = lines[static_cast<size_t>(i)];
    const char h = hostOf[static_cast<size_t>(i)];
    const bool skipped = i == 2 || (h == 'C' && i > 3);
    steps1to3.push_back("  Get " + l + (skipped ? " ... skipped" : i == 3 ? " ... failed(*s)" : " ... done(*s)"));
    if (skipped || i == 3) failed.push_back(l);
  }
  // The busiest host that answered has 7 boards (the banned one counts: its
  // host is not banned); the dead host's 12 do not count.
  steps1to3.insert(steps1to3.end(), {"  Interval: 140", "Get subject.txt: done", ""});
  EXPECT_EQ(MaskedLog(Fixture.View.Log), Expected(form, steps1to3, Steps4to7));
  EXPECT_EQ(form.RunState.CheckInterval, 140000u);

  // Frames 0 0 1 1 2 2 3 3 4 5 5 6 6 7 7 8 8 9 10 10 11 11 12 12 13; the
  // failure at board 3 (frame 1, unchanged) shows 1 + 14 at once.
  EXPECT_EQ(Fixture.View.TrayImages,
            (std::vector<int>{0, 1, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, -1}));
  Lines titles = {"VEK [1/7]", "VEK [2/7]"};
  Lines statusTexts;
  for (int i = 0; i < 25; ++i) {
    titles.push_back("VEK [3/7] (" + std::to_string(i) + "/25)");
    statusTexts.push_back(std::to_string(i) + "/25");
  }
  titles.insert(titles.end(), {"VEK [4/7]", "VEK [5/7]", "VEK [6/7]", "VEK [7/7]", "VEK"});
  statusTexts.push_back("25/25");
  EXPECT_EQ(Fixture.View.Titles, titles);
  EXPECT_EQ(Fixture.View.StatusTexts, statusTexts);

  std::string failedText;
  for (const auto& l : failed) failedText += l + "\r\n";
  ASSERT_EQ(failed.size(), 13u);
  EXPECT_EQ(ReadFile(Fixture.App("failed.txt")), failedText);
  EXPECT_EQ(Fixture.View.OpenedDocuments, Lines{Fixture.App("failed.txt")});
  EXPECT_EQ(serverA.Requests(), requestsA);
  EXPECT_EQ(serverB.Requests(), requestsB);
  // Each board that answered is in the cache; nothing for the others.
  for (int i = 0; i < 25; ++i) {
    const std::string& l = lines[static_cast<size_t>(i)];
    const std::string name = SubjectCacheName(EntryUrl(l));
    const bool fetched = hostOf[static_cast<size_t>(i)] != 'C' && i != 2;
    EXPECT_EQ(Exists(Fixture.App("subject\\" + name + ".txt")), fetched) << l;
  }
}

TEST_F(CheckRun, FailedReportOffLeavesAnEarlierFailedListAlone) {
  WriteFile(Fixture.App("failed.txt"), "earlier");
  WriteFile(Fixture.App("ban_list.txt"), "127.0.0.1\r\n");
  WriteFile(Fixture.App("subject_list.txt"), "http://127.0.0.1:9/a/subject.txt\r\n");
  TVekMainForm& form = Start("FailedReport=0\r\n");
  form.UpdateCheckMenuClick();
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;
  EXPECT_EQ(ReadFile(Fixture.App("failed.txt")), "earlier");
  EXPECT_TRUE(Fixture.View.OpenedDocuments.empty());
  EXPECT_NE(std::find(Fixture.View.Log.begin(), Fixture.View.Log.end(),
                      "  Get http://127.0.0.1:9/a/subject.txt ... skipped"),
            Fixture.View.Log.end());
}

TEST_F(CheckRun, NewArrivalListNamesNewsThenTheReports) {
  TLoopbackServer server;
  server.Put("/b/subject.txt", Listing);
  // The board comes from the thread path only on the primary network: the
  // test's suffix list names the loopback host itself.
  const std::string hostDir = "127.0.0.1%3A" + std::to_string(server.Port);
  Fixture.WriteIndex(hostDir + "\\b\\1000000001.idx", "0");   // server 5, local 10: nothing new
  WriteFile(Fixture.Log(hostDir + "\\b\\1000000002.idx"), "0\t0\t5\tt\t\t\t1\t3\t3\t-1\t\r\n");  // 7 > 3
  Fixture.WriteIndex(hostDir + "\\b\\1000000009.idx", "0");   // gone from the board
  WriteFile(Fixture.Dor("favorite.idx"), hostDir + "\\b\\1000000009.idx\r\n" + hostDir + "\\b\\1000000002.idx\r\n" +
                                             hostDir + "\\b\\1000000001.idx\r\n");
  TVekMainForm& form = Start();
  form.PrimarySuffixes = "127.0.0.1%3A";
  form.UpdateCheckMenuClick();
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;
  EXPECT_EQ(server.Requests(), Lines{"/b/subject.txt"});
  EXPECT_EQ(ReadFile(Fixture.Dor("$$$$$$$$.idx")),
            hostDir + "\\b\\1000000002.idx\r\nlocalhost\\vek\\1030000000.idx\r\nlocalhost\\vek\\1000000000.idx\r\n");
}

// A board's list arrives but cannot be stored (no room, or here a folder in
// its way): the run ends there with the error naming the cache file. Nothing
// after the downloads is written -- no count, no report, no thread taken for
// fallen -- and the pause before the next run counts from this one, since
// the server was asked.
TEST_F(CheckRun, ABoardListThatCannotBeStoredEndsTheRunBeforeAnyCount) {
  TLoopbackServer server;
  server.Put("/b/subject.txt", Listing);
  server.Put("/c/subject.txt", Listing);
  const std::string hostDir = "127.0.0.1%3A" + std::to_string(server.Port);
  WriteFile(Fixture.Log(hostDir + "\\b\\1000000002.idx"), "0\t0\t5\tt\t\t\t1\t3\t3\t-1\t\r\n");  // 7 > 3
  Fixture.WriteIndex(hostDir + "\\c\\1000000009.idx", "0");  // gone from its board
  WriteFile(Fixture.Dor("favorite.idx"), hostDir + "\\b\\1000000002.idx\r\n" + hostDir + "\\c\\1000000009.idx\r\n");
  WriteFile(Fixture.App("subject\\" + hostDir + "%2Fc.txt\\blocker"), "");
  TVekMainForm& form = Start();
  form.PrimarySuffixes = "127.0.0.1%3A";
  form.UpdateCheckMenuClick();
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Failed);
  EXPECT_NE(form.LastRun().Error.find(hostDir + "%2Fc.txt"), std::string::npos) << form.LastRun().Error;
  EXPECT_EQ(server.Requests(), (Lines{"/b/subject.txt", "/c/subject.txt"}));
  EXPECT_EQ(ReadFile(Fixture.Log(hostDir + "\\b\\1000000002.idx")), "0\t0\t5\tt\t\t\t1\t3\t3\t-1\t\r\n");
  EXPECT_FALSE(Exists(Fixture.Dor("$$$$$$$$.idx")));
  EXPECT_FALSE(Exists(Fixture.Log("localhost\\vek\\1030000000.dat")));
  EXPECT_FALSE(Exists(Fixture.Log("localhost\\vek\\1000000000.dat")));
  EXPECT_TRUE(form.ExecuteMenu.Enabled);
  EXPECT_EQ(form.RunState.LastCheckTick, Fixture.Env.Tick);
  EXPECT_EQ(form.RunState.CheckInterval, 40000u);  // two boards on the busiest host
  form.UpdateCheckMenuClick();
  EXPECT_EQ(form.LastRun().Outcome, TRunOutcome::Refused);
  EXPECT_EQ(server.Requests().size(), 2u);
}

#endif

}  // namespace
}  // namespace vek::test
