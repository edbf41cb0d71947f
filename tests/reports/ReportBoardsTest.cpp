// The two report boards byte for byte: the dead-thread report, the
// new-thread report with its templates, exclusions and snapshots, and the reset.
#include <gtest/gtest.h>

#include "ReportsFixture.h"
#include "platform/Files.h"
#include "reports/DeadReport.h"
#include "reports/NewReport.h"
#include "reports/NextThreadReport.h"
#include "reports/ReportBoards.h"
#include "support/funcs.h"

namespace vek {
namespace {

using test::FixedStamp;
using test::ListOf;
using test::ReadFile;
using test::ThreadRecord;

const std::string T = FixedStamp;
const std::string Name = "<b>VEK</b>";
const std::string DeadFirst =
    "<b>VEK</b>,," + T + ",また～りとDAT落ちしたスレッドを紹介するスレッド。,また～りとDAT落ちしたスレを紹介するスレ";
const std::string NewFirst =
    "<b>VEK</b>,," + T + ",物凄い勢いで新しく立ったスレッドを紹介するスレッド。,物凄い勢いで新しいスレを紹介するスレ";
const std::string NewIdx = "3\t32\t5\t物凄い勢いで新しいスレを紹介するスレ\tlocalhost\tvek\t1000000000\t1\t1\t1\t" + T +
                           "\t\tVEK\t0\t\t\t0\t\t\t\t\t";

std::string Link(const std::string& url) { return "<a href=\"" + url + "\" target=\"_blank\">" + url + "</a>"; }

std::string Heading(const std::string& boardUrl) {
  return "<font color=\"8B2222\"><b>---------- " + boardUrl + " ----------</b></font><br>";
}

std::string Entry(const std::string& title, const std::string& url) {
  return "&nbsp; &nbsp; " + title + "<br>&nbsp; &nbsp; " + Link(url) + "<br><br>";
}

std::string NewIdxRewritten(int lines) {
  std::string n = std::to_string(lines);
  return "3\t32\t5\t物凄い勢いで新しいスレを紹介するスレ\tlocalhost\tvek\t1000000000\t" + n + "\t" + n + "\t1\t" + T +
         "\t\tVEK\t0\t\t\t0\t\t\t\t\r\n";
}

class ReportBoardsTest : public ::testing::Test {
 protected:
  std::string NewDat() const { return ReadFile(F.Settings.NewReportDatName()); }
  std::string NewIdxText() const { return ReadFile(F.Settings.NewReportIdxName()); }
  test::TReportsFixture F;
};

// The boards of the next-thread report are shared between two threads: the
// entries still come in the order of the ended threads, a board that comes
// back later in that order included, each with its own board's candidate; a
// title the count update did not read comes from the index file.
TEST_F(ReportBoardsTest, NextThreadEntriesKeepTheirOrderAcrossBoards) {
  std::vector<TEndedThread> ended;
  std::set<std::string> downloaded;
  std::string body;
  const auto add = [&](const std::string& board, const std::string& key, const std::string& series) {
    const std::string cache = "egg.5ch.net%2F" + board + ".txt", url = "http://egg.5ch.net/test/read.cgi/" + board + "/";
    ended.push_back({"egg.5ch.net\\" + board + "\\" + key + ".idx", cache, 1000, series + " Part1"});
    downloaded.insert(cache);
    body += (body.empty() ? "" : "<BR><BR>") + series + " Part1<BR>" + Link(url + key + "/") +
            "<BR>→ 1000 レスで埋まりました<BR>次スレ候補: " + series + " Part2<BR>" +
            Link(url + std::to_string(std::stoi(key) + 10) + "/");
  };
  for (int n = 0; n < 6; ++n) {
    const std::string board = "b" + std::to_string(n), series = "ニュース速報" + std::to_string(n);
    F.WriteCache("egg.5ch.net%2F" + board + ".txt", {"10.dat<>" + series + " Part1 (1000)", "20.dat<>" + series + " Part2 (5)",
                                                     "30.dat<>将棋の話題 Part1 (1000)", "40.dat<>将棋の話題 Part2 (1)"});
    add(board, "10", series);
  }
  add("b0", "30", "将棋の話題");
  ended.back().Title.reset();
  F.WriteIndex("egg.5ch.net\\b0\\30.idx", ThreadRecord("0", "将棋の話題 Part1", "egg.5ch.net", "b0", "30", "1", "1", "-1"));
  ASSERT_TRUE(WriteNextThreadReport(F.Run(), ended, downloaded));
  const std::string dat = ReadFile(F.Settings.NextReportDatName());
  EXPECT_EQ(dat.substr(dat.find("\r\n") + 2), Name + ",," + T + "," + body + ",");
}

TEST_F(ReportBoardsTest, DeadReportWithOneThread) {
  F.WriteIndex("egg.5ch.net\\news\\100.idx", ThreadRecord("0", "a,b", "egg.5ch.net", "news", "100", "1", "1", "-1"));
  WriteDeadReport(F.Run(), ListOf({"egg.5ch.net\\news\\100.idx"}));
  EXPECT_EQ(ReadFile(F.Settings.DeadReportDatName()),
            DeadFirst + "\r\n" + Name + ",," + T + ",a＠｀b<BR>" +
                Link("http://egg.5ch.net/test/read.cgi/news/100/") + ",");
  EXPECT_EQ(ReadFile(F.Settings.DeadReportIdxName()),
            "3\t32\t5\tまた～りとDAT落ちしたスレを紹介するスレ\tlocalhost\tvek\t1030000000\t2\t2\t1\t" + T +
                "\t\tVEK\t0\t\t\t0\t\t\t\t\t");
  // "～" is stored as 81 60.
  EXPECT_NE(ReadFile(F.Settings.DeadReportIdxName()).find("\x81\x60"), std::string::npos);
}

TEST_F(ReportBoardsTest, TitleCommasKeepFiveFields) {
  F.WriteIndex("egg.5ch.net\\news\\1.idx", ThreadRecord("0", "表,ソ,,x", "egg.5ch.net", "news", "1", "1", "1", "-1"));
  WriteDeadReport(F.Run(), ListOf({"egg.5ch.net\\news\\1.idx"}));
  std::string dat = ReadFile(F.Settings.DeadReportDatName());
  std::string line2 = dat.substr(dat.find("\r\n") + 2);
  EXPECT_EQ(std::count(line2.begin(), line2.end(), ','), 4);
  EXPECT_NE(line2.find("表＠｀ソ＠｀＠｀x<BR>"), std::string::npos) << line2;
}

TEST_F(ReportBoardsTest, DeadReportWithTwoThreadsAndShortIndex) {
  F.WriteIndex("egg.5ch.net\\news\\100.idx", ThreadRecord("0", "First", "egg.5ch.net", "news", "100", "1", "1", "-1"));
  F.WriteIndex("e.org%3A8080\\bbs\\123.idx", "1\t0\t5");
  WriteDeadReport(F.Run(), ListOf({"egg.5ch.net\\news\\100.idx", "e.org%3A8080\\bbs\\123.idx"}));
  std::string dat = ReadFile(F.Settings.DeadReportDatName());
  std::string line2 = dat.substr(dat.find("\r\n") + 2);
  EXPECT_EQ(line2, Name + ",," + T + ",First<BR>" + Link("http://egg.5ch.net/test/read.cgi/news/100/") +
                       "<BR><BR>" + F.Settings.LogPath() + "e.org%3A8080\\bbs\\123.idx<BR>" +
                       Link("http://e.org:8080/test/read.cgi/bbs/123/") + ",");
}

TEST_F(ReportBoardsTest, EmptyDeadListWritesNothing) {
  WriteDeadReport(F.Run(), TStringList());
  EXPECT_FALSE(test::Exists(F.Settings.DeadReportDatName()));
  EXPECT_FALSE(test::Exists(F.Settings.DeadReportIdxName()));
}

TEST_F(ReportBoardsTest, ResetWritesOneLineReportAndSnapshots) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>One (1)", "no mark", "2.dat<>Two (2)"});
  F.WriteIndex("localhost\\vek\\1030000000.idx", "dead report");
  InitNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst);
  EXPECT_EQ(NewIdxText(), NewIdx);
  EXPECT_EQ(ReadFile(F.SbjDir() + "egg.5ch.net%2Fnews.lst"), "1.dat\r\n\r\n2.dat\r\n");
  EXPECT_EQ(F.ReadIndex("localhost\\vek\\1030000000.idx"), "dead report");
}

TEST_F(ReportBoardsTest, ResetWithoutLogDirectoryDoesNothing) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>One (1)"});
  F.Settings.DorPath = F.Root / "nohost\\";
  InitNewReport(F.Run());
  EXPECT_FALSE(test::Exists(F.Settings.NewReportDatName()));
  EXPECT_FALSE(test::Exists(F.SbjDir() + "egg.5ch.net%2Fnews.lst"));
}

TEST_F(ReportBoardsTest, NewThreadsAreReportedOnceGroupedByBoard) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>Old (1)"});
  F.WriteCache("e.org%3A81%2Fbbs.txt", {"7.dat<>Seven (7)"});
  InitNewReport(F.Run());
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"3.dat<>Third, with comma (2)", "1.dat<>Old (5)", "2.dat<>Second (1)"});
  F.WriteCache("brand.new%2Fx.txt", {"9.dat<>Not yet (1)"});  // no snapshot yet: not reported

  WriteNewReport(F.Run());
  std::string response = Name + ",," + T + "," + Heading("http://egg.5ch.net/news/") +
                         Entry("Third＠｀ with comma (2)", "http://egg.5ch.net/test/read.cgi/news/3/") +
                         Entry("Second (1)", "http://egg.5ch.net/test/read.cgi/news/2/") + ",";
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + response + "\r\n");
  EXPECT_EQ(NewIdxText(), NewIdxRewritten(2));
  EXPECT_EQ(ReadFile(F.SbjDir() + "egg.5ch.net%2Fnews.lst"), "3.dat\r\n1.dat\r\n2.dat\r\n");
  EXPECT_EQ(ReadFile(F.SbjDir() + "brand.new%2Fx.lst"), "9.dat\r\n");

  // Right after, nothing is new: an empty response is appended.
  WriteNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + response + "\r\n" + Name + ",," + T + ",,\r\n");
  EXPECT_EQ(NewIdxText(), NewIdxRewritten(3));
}

TEST_F(ReportBoardsTest, KnownKeysIgnoreLetterCase) {
  F.WriteCache("e.org%2Fb.txt", {});
  InitNewReport(F.Run());
  F.WriteSnapshot("e.org%2Fb.txt", {"1.DAT", "2.dat"});
  F.WriteCache("e.org%2Fb.txt", {"1.dat<>One (1)", "2.DAT<>Two (1)", "3.Dat<>Three (1)"});
  WriteNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + Name + ",," + T + "," + Heading("http://e.org/b/") +
                          Entry("Three (1)", "http://e.org/test/read.cgi/b/3/") + ",\r\n");
}

// A key goes into a link: a line whose key is not a thread number names no
// thread, so it is neither reported nor counted nor taken into the snapshot.
TEST_F(ReportBoardsTest, LinesWhoseKeyIsNoThreadNumberNameNoThread) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1700000000.dat<>Old (1)"});
  InitNewReport(F.Run());
  F.WriteCache("egg.5ch.net%2Fnews.txt",
               {"1799999999\" onmouseover=\"alert(1).dat<>Hover (1)", "../../../x.dat<>Up (1)",
                "1799999998<b>.dat<>Bold (1)", "<>No key (1)", "17999999a7.dat<>Letter (1)", ".dat<>Bare (1)",
                "1799999997.dat<>Real, new (2)", "1700000000.dat<>Old (3)"});
  EXPECT_EQ(WriteNewReport(F.Run()), 1);
  EXPECT_EQ(NewDat(), NewFirst + "\r\n<b>VEK</b>,,2026/12/07 21:05:09,"
                                 "<font color=\"8B2222\"><b>---------- http://egg.5ch.net/news/ ----------</b></font><br>"
                                 "&nbsp; &nbsp; Real＠｀ new (2)<br>&nbsp; &nbsp; "
                                 "<a href=\"http://egg.5ch.net/test/read.cgi/news/1799999997/\" target=\"_blank\">"
                                 "http://egg.5ch.net/test/read.cgi/news/1799999997/</a><br><br>,\r\n");
  EXPECT_EQ(ReadFile(F.SbjDir() + "egg.5ch.net%2Fnews.lst"),
            "\r\n\r\n\r\n\r\n\r\n\r\n1799999997.dat\r\n1700000000.dat\r\n");
}

// A board whose keys are those of its snapshot, line for line, reports
// nothing and keeps its snapshot file untouched; the same keys in another
// order report nothing either but are snapshotted in the new order.
TEST_F(ReportBoardsTest, BoardsWithoutNewThreadsKeepOrRefreshTheirSnapshots) {
  F.WriteCache("egg.5ch.net%2Fquiet.txt", {"1.dat<>One (1)", "no mark", "2.dat<>Two (2)"});
  F.WriteCache("egg.5ch.net%2Fbumped.txt", {"3.dat<>Three (1)", "4.dat<>Four (1)"});
  F.WriteCache("egg.5ch.net%2Fbusy.txt", {"5.dat<>Five (1)"});
  InitNewReport(F.Run());
  const platform::SystemTime old{2001, 2, 0, 3, 4, 5, 6, 0};
  SetFileWriteTime(F.SbjDir() + "egg.5ch.net%2Fquiet.lst", old);
  SetFileWriteTime(F.SbjDir() + "egg.5ch.net%2Fbumped.lst", old);
  F.WriteCache("egg.5ch.net%2Fquiet.txt", {"1.dat<>One (7)", "no mark either", "2.dat<>Two, again (9)"});
  F.WriteCache("egg.5ch.net%2Fbumped.txt", {"4.dat<>Four (2)", "3.dat<>Three (1)"});
  F.WriteCache("egg.5ch.net%2Fbusy.txt", {"6.dat<>Six (1)", "5.dat<>Five (2)"});

  WriteNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + Name + ",," + T + "," + Heading("http://egg.5ch.net/busy/") +
                          Entry("Six (1)", "http://egg.5ch.net/test/read.cgi/busy/6/") + ",\r\n");
  EXPECT_EQ(ReadFile(F.SbjDir() + "egg.5ch.net%2Fquiet.lst"), "1.dat\r\n\r\n2.dat\r\n");
  EXPECT_EQ(GetFileWriteTime(F.SbjDir() + "egg.5ch.net%2Fquiet.lst").Year, 2001);
  EXPECT_EQ(ReadFile(F.SbjDir() + "egg.5ch.net%2Fbumped.lst"), "4.dat\r\n3.dat\r\n");
  EXPECT_NE(GetFileWriteTime(F.SbjDir() + "egg.5ch.net%2Fbumped.lst").Year, 2001);
  EXPECT_EQ(ReadFile(F.SbjDir() + "egg.5ch.net%2Fbusy.lst"), "6.dat\r\n5.dat\r\n");
  // The window is kept responsive on every board, quiet ones included.
  EXPECT_GE(F.Log.Pumps, 3);
}

// A snapshot that only misses its last line end is not the board's
// snapshot: the board is compared key by key and its snapshot rewritten.
TEST_F(ReportBoardsTest, NearlyEqualSnapshotIsComparedKeyByKey) {
  F.WriteCache("e.org%2Fb.txt", {"1.dat<>One (1)", "2.dat<>Two (1)"});
  InitNewReport(F.Run());
  test::WriteFile(F.SbjDir() + "e.org%2Fb.lst", "1.dat\r\n2.dat");
  F.WriteCache("e.org%2Fb.txt", {"1.dat<>One (1)", "2.dat<>Two (1)", "3.dat<>Three (1)"});
  WriteNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + Name + ",," + T + "," + Heading("http://e.org/b/") +
                          Entry("Three (1)", "http://e.org/test/read.cgi/b/3/") + ",\r\n");
  EXPECT_EQ(ReadFile(F.SbjDir() + "e.org%2Fb.lst"), "1.dat\r\n2.dat\r\n3.dat\r\n");
}

// The rental service sends its top thread once more at the end of its list;
// the cache keeps both lines, the report names the thread once per board,
// from its first line. The same key on another board is another thread.
TEST_F(ReportBoardsTest, AThreadListedTwiceIsReportedOnce) {
  F.WriteCache("rental.example%2Fgame%2F4567.txt", {"1100000000.dat<>Old (50)"});
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1100000000.dat<>Old (9)"});
  InitNewReport(F.Run());
  F.WriteCache("rental.example%2Fgame%2F4567.txt",
               {"1100000000.dat<>Old (51)", "1200000000.dat<>Second (3)", "1200000000.dat<>Second (4)",
                "1300000000.dat<>Top (12)", "1300000000.dat<>Top (12)"});
  WriteNewReport(F.Run());
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1100000000.dat<>Old (9)", "1300000000.dat<>Top (1)"});
  WriteNewReport(F.Run());
  WriteNewReport(F.Run());

  EXPECT_EQ(NewDat(),
            NewFirst + "\r\n"
            "<b>VEK</b>,,2026/12/07 21:05:09,"
            "<font color=\"8B2222\"><b>---------- http://rental.example/game/4567/ ----------</b></font><br>"
            "&nbsp; &nbsp; Second (3)<br>&nbsp; &nbsp; <a href=\"http://rental.example/game/test/read.cgi/4567/1200000000/\" "
            "target=\"_blank\">http://rental.example/game/test/read.cgi/4567/1200000000/</a><br><br>"
            "&nbsp; &nbsp; Top (12)<br>&nbsp; &nbsp; <a href=\"http://rental.example/game/test/read.cgi/4567/1300000000/\" "
            "target=\"_blank\">http://rental.example/game/test/read.cgi/4567/1300000000/</a><br><br>,\r\n"
            "<b>VEK</b>,,2026/12/07 21:05:09,"
            "<font color=\"8B2222\"><b>---------- http://egg.5ch.net/news/ ----------</b></font><br>"
            "&nbsp; &nbsp; Top (1)<br>&nbsp; &nbsp; <a href=\"http://egg.5ch.net/test/read.cgi/news/1300000000/\" "
            "target=\"_blank\">http://egg.5ch.net/test/read.cgi/news/1300000000/</a><br><br>,\r\n"
            "<b>VEK</b>,,2026/12/07 21:05:09,,\r\n");
}

TEST_F(ReportBoardsTest, ExcludedBoardsAreSkippedButStillSnapshotted) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {});
  F.WriteCache("egg.5ch.net%2Fpoem.txt", {});
  InitNewReport(F.Run());
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>N (1)"});
  F.WriteCache("egg.5ch.net%2Fpoem.txt", {"2.dat<>P (1)"});
  test::WriteFile(F.Settings.NonReportListName(), "\r\nnews\r\n");
  WriteNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + Name + ",," + T + "," + Heading("http://egg.5ch.net/poem/") +
                          Entry("P (1)", "http://egg.5ch.net/test/read.cgi/poem/2/") + ",\r\n");
  EXPECT_EQ(ReadFile(F.SbjDir() + "egg.5ch.net%2Fnews.lst"), "1.dat\r\n");
}

TEST_F(ReportBoardsTest, DeletedIndexResetsTheReportBeforeAppending) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>Old (1)"});
  InitNewReport(F.Run());
  WriteNewReport(F.Run());
  WriteNewReport(F.Run());
  platform::DeleteFile(F.Settings.NewReportIdxName());
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>Old (1)", "2.dat<>Fresh (1)"});
  WriteNewReport(F.Run());
  // The reset empties the report to its first line; this run's response follows.
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + Name + ",," + T + "," + Heading("http://egg.5ch.net/news/") +
                          Entry("Fresh (1)", "http://egg.5ch.net/test/read.cgi/news/2/") + ",\r\n");
  EXPECT_EQ(NewIdxText(), NewIdxRewritten(2));
}

TEST_F(ReportBoardsTest, MissingLogIsRecreatedWithItsIndex) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>Old (1)"});
  InitNewReport(F.Run());
  WriteNewReport(F.Run());
  platform::DeleteFile(F.Settings.NewReportDatName());
  WriteNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + Name + ",," + T + ",,\r\n");
  EXPECT_EQ(NewIdxText(), NewIdxRewritten(2));
}

// A run cut off at any of the report's writes (here: the n-th one fails)
// leaves an index that never counts a line its log does not hold; the next
// run makes them agree again.
TEST_F(ReportBoardsTest, CutOffReportNeverCountsAMissingResponse) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>Old (1)"});
  InitNewReport(F.Run());
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>Old (1)", "2.dat<>Fresh (1)"});
  const auto lines = [&] {
    const std::string dat = NewDat();
    // The reset writes the first line without a line end.
    return static_cast<int>(std::count(dat.begin(), dat.end(), '\n')) + (dat.ends_with('\n') ? 0 : 1);
  };
  // Field 7 of the index.
  const auto counted = [&] {
    std::string idx = NewIdxText();
    for (int field = 0; field < 7; ++field) idx.erase(0, idx.find('\t') + 1);
    return std::stoi(idx);
  };
  for (int cut = 1; cut <= 2; ++cut) {
    int writes = 0;
    platform::SetReplaceInterruptHookForTests([&] {
      if (++writes == cut) throw std::runtime_error("killed");
    });
    EXPECT_THROW(WriteNewReport(F.Run()), std::runtime_error);
    platform::SetReplaceInterruptHookForTests(nullptr);
    EXPECT_LE(counted(), lines()) << "cut at write " << cut;
  }
  WriteNewReport(F.Run());
  EXPECT_EQ(counted(), lines());
  EXPECT_EQ(NewIdxText(), NewIdxRewritten(lines()));
}

TEST_F(ReportBoardsTest, NoLogDirectorySkipsTheReportAndKeepsTheSnapshot) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>Old (1)"});
  F.WriteSnapshot("egg.5ch.net%2Fnews.txt", {});
  F.Settings.DorPath = F.Root / "nohost\\";
  WriteNewReport(F.Run());
  EXPECT_FALSE(test::Exists(F.Settings.NewReportDatName()));
  EXPECT_EQ(ReadFile(F.SbjDir() + "egg.5ch.net%2Fnews.lst"), "");
  EXPECT_NE(F.LogText().find("New thread report skipped"), std::string::npos);
}

TEST_F(ReportBoardsTest, NoCacheFilesWritesNothing) {
  WriteNewReport(F.Run());
  EXPECT_FALSE(test::Exists(F.Settings.NewReportDatName()));
  EXPECT_FALSE(test::Exists(F.Settings.NewReportIdxName()));
}

TEST(FormatTemplate, OnlyPercentSAndPercentPercent) {
  std::string out = "untouched";
  EXPECT_TRUE(FormatTemplate("[%s|%s] 100%%", {"a", "b"}, out));
  EXPECT_EQ(out, "[a|b] 100%");
  EXPECT_TRUE(FormatTemplate("only %s", {"a", "b"}, out));  // fewer conversions than arguments
  EXPECT_EQ(out, "only a");
  out = "untouched";
  EXPECT_FALSE(FormatTemplate("%s %s %s", {"a", "b"}, out));
  EXPECT_FALSE(FormatTemplate("%d", {"a"}, out));
  EXPECT_FALSE(FormatTemplate("%-10s", {"a"}, out));
  EXPECT_FALSE(FormatTemplate("trailing %", {"a"}, out));
  EXPECT_EQ(out, "untouched");
}

TEST_F(ReportBoardsTest, UnusableTemplatesFallBackToTheDefaults) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {});
  InitNewReport(F.Run());
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"5.dat<>Five (1)"});
  F.Settings.BoardExp = "%s %s %n";
  F.Settings.ThreadExp = "<%s|%s|%s>";
  WriteNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + Name + ",," + T + "," + Heading("http://egg.5ch.net/news/") +
                          Entry("Five (1)", "http://egg.5ch.net/test/read.cgi/news/5/") + ",\r\n");
  EXPECT_NE(F.LogText().find("BoardExp cannot be used"), std::string::npos) << F.LogText();
  EXPECT_NE(F.LogText().find("ThreadExp cannot be used"), std::string::npos) << F.LogText();
}

TEST_F(ReportBoardsTest, UserTemplatesAreFilledInOrder) {
  F.WriteCache("egg.5ch.net%2Fnews.txt", {});
  InitNewReport(F.Run());
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"5.dat<>Five (1)"});
  F.Settings.BoardExp = "[%s]";
  F.Settings.ThreadExp = "{%s}";
  WriteNewReport(F.Run());
  EXPECT_EQ(NewDat(), NewFirst + "\r\n" + Name + ",," + T + ",[http://egg.5ch.net/news/]{Five (1)},\r\n");
  EXPECT_EQ(F.LogText(), "");
}

}  // namespace
}  // namespace vek
