// The host browser's file formats: records in both serialisations, the fallen
// mark, items, thread log texts, URLs and snapshots.
#include <gtest/gtest.h>

#include "ReportsFixture.h"
#include "reports/HostLog.h"
#include "reports/ReportBoards.h"

namespace vek {
namespace {

using test::IndexLine;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(HostLogRecord, ReportFormAndRewrittenFormReadAlike) {
  TIndexFields fields = NewReportIndexFields("2026/12/07 21:05:09");
  std::string report = ReportFormRecord(fields);
  std::string rewritten = RewrittenRecordLine(fields);
  EXPECT_EQ(std::count(report.begin(), report.end(), '\t'), 21);
  EXPECT_EQ(report.back(), '\t');
  EXPECT_EQ(std::count(rewritten.begin(), rewritten.end(), '\t'), 20);
  EXPECT_EQ(rewritten + "\t", report);
  EXPECT_EQ(ParseIndexRecord(report).Fields, fields);
  EXPECT_EQ(ParseIndexRecord(rewritten + "\r\n").Fields, fields);
  // Rewriting a report-form record drops its trailing TAB and adds CR LF.
  EXPECT_EQ(RewrittenIndexText(ParseIndexRecord(report)), rewritten + "\r\n");
}

TEST(HostLogRecord, ShortRecordsGetEmptyFieldsAndExtraFieldsAreDropped) {
  TIndexRecord shortRecord = ParseIndexRecord("a\tb\tc");
  EXPECT_EQ(shortRecord.Fields[2], "c");
  EXPECT_EQ(shortRecord.Fields[3], "");
  EXPECT_EQ(RewrittenRecordLine(shortRecord.Fields), "a\tb\tc" + std::string(18, '\t'));

  std::string longLine = IndexLine({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15",
                                    "16", "17", "18", "19", "20"}) +
                         "\textra\tmore";
  TIndexRecord longRecord = ParseIndexRecord(longLine + "\r\nsecond line\nthird\r");
  EXPECT_EQ(longRecord.Fields[20], "20");
  EXPECT_EQ(longRecord.FurtherLines, (std::vector<std::string>{"second line", "third"}));
  EXPECT_EQ(RewrittenIndexText(longRecord),
            IndexLine({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17",
                       "18", "19", "20"}) +
                "\r\nsecond line\r\nthird\r\n");
}

TEST(HostLogRecord, FlagsFollowTheCallersDefault) {
  EXPECT_EQ(ParseIndexFlags("1\t32\t5", 16), 32);
  EXPECT_EQ(ParseIndexFlags("1\tabc\t5", 16), 16);
  EXPECT_EQ(ParseIndexFlags("1\t\t5", 7), 7);
  EXPECT_EQ(ParseIndexFlags("1", 16), 16);
  EXPECT_EQ(ParseIndexFlags("", 16), 16);
  EXPECT_EQ(ParseIndexFlags("1\t-3\t5", 16), -3);
  // The second line never lends its fields to a short first line.
  EXPECT_EQ(ParseIndexFlags("1\r\n48\t2", 16), 16);
}

TEST(HostLogFallenMark, SetsBitSixteenAndKeepsTheRestOfTheFirstLine) {
  std::string rest = "5\t題名\tegg.5ch.net\tnews\t123\t10\t10\t-1\t2026/01/01 00:00:00" + std::string(10, '\t');
  EXPECT_EQ(FallenMarkedText("1\t32\t" + rest), "1\t48\t" + rest + "\r\n");
  EXPECT_EQ(FallenMarkedText("1\t48\t" + rest + "\r\n"), "1\t48\t" + rest + "\r\n");
  EXPECT_EQ(FallenMarkedText("1\tabc\t" + rest), "1\t48\t" + rest + "\r\n");
  EXPECT_EQ(FallenMarkedText("1\t0\t" + rest + "\t"), "1\t16\t" + rest + "\t\r\n");
  // Further lines are dropped.
  EXPECT_EQ(FallenMarkedText("1\t1\tx\r\nsecond\r\n"), "1\t17\tx\r\n");
}

TEST(HostLogFallenMark, OnAFileItWritesOnlyWhenSomethingChanges) {
  TempDir dir;
  std::string name = dir / "t.idx";
  WriteFile(name, "1\t32\tx\r\nsecond\r\n");
  EXPECT_TRUE(MarkIndexFallen(name));
  EXPECT_EQ(ReadFile(name), "1\t48\tx\r\n");
  EXPECT_FALSE(MarkIndexFallen(name));
  EXPECT_EQ(ReadFile(name), "1\t48\tx\r\n");
}

TEST(HostLogRecord, WriteIndexRecordKeepsFurtherLinesAndSkipsEqualBytes) {
  TempDir dir;
  std::string name = dir / "t.idx";
  std::string original = IndexLine({"1", "0", "5", "t"}) + "\r\nsecond\r\n";
  WriteFile(name, original);
  TIndexRecord record = ReadIndexRecord(name);
  EXPECT_FALSE(WriteIndexRecord(name, record));
  record.Fields[7] = "12";
  EXPECT_TRUE(WriteIndexRecord(name, record));
  EXPECT_EQ(ReadFile(name), IndexLine({"1", "0", "5", "t", "", "", "", "12"}) + "\r\nsecond\r\n");
}

TEST(HostLogItems, TabsAndLineEndsBothSeparateItems) {
  std::string item;
  std::string text = "0\t1\t2\tTitle\thost\r\nboard\tkey\t";
  ASSERT_TRUE(IndexItemOf(text, 3, item));
  EXPECT_EQ(item, "Title");
  ASSERT_TRUE(IndexItemOf(text, 4, item));
  EXPECT_EQ(item, "host");
  ASSERT_TRUE(IndexItemOf(text, 5, item));
  EXPECT_EQ(item, "board");
  ASSERT_TRUE(IndexItemOf(text, 6, item));
  EXPECT_EQ(item, "key");
  EXPECT_FALSE(IndexItemOf(text, 7, item));  // a final TAB makes no empty item
  EXPECT_FALSE(IndexItemOf("a\tb\tc", 3, item));
  ASSERT_TRUE(IndexItemOf("a\t\tc", 1, item));
  EXPECT_EQ(item, "");
  ASSERT_TRUE(IndexItemOf("a\r\rc", 2, item));
  EXPECT_EQ(item, "c");
}

TEST(HostLogText, TimeStampCommaEscapeAndLink) {
  platform::SystemTime time{2027, 1, 0, 2, 3, 4, 5, 999};
  EXPECT_EQ(TimeStamp(time), "2027/01/02 03:04:05");
  EXPECT_EQ(EscapeCommas("a,b,,c"), "a＠｀b＠｀＠｀c");
  EXPECT_EQ(EscapeCommas(","), "\x81\x97\x81\x4D");
  EXPECT_EQ(MakeLink("http://h/x/"), "<a href=\"http://h/x/\" target=\"_blank\">http://h/x/</a>");
}

TEST(HostLogText, ThreadUrlsFromPathsAndCacheNames) {
  EXPECT_EQ(ThreadUrlOfPath("egg.5ch.net\\news\\1234567890.idx"), "http://egg.5ch.net/test/read.cgi/news/1234567890/");
  EXPECT_EQ(ThreadUrlOfPath("example.org%3A8080\\bbs\\123.idx"), "http://example.org:8080/test/read.cgi/bbs/123/");
  EXPECT_EQ(ThreadUrlOfPath("example.org%2Fsub\\bbs\\9.idx"), "http://example.org/sub/test/read.cgi/bbs/9/");
  // A trail byte 0x5C ("表" is 95 5C) is no separator.
  EXPECT_EQ(ThreadUrlOfPath("host\\表\\1.idx"), "http://host/test/read.cgi/表/1/");
  EXPECT_EQ(ThreadUrlPrefixOfCacheName("egg.5ch.net%2Fnews.txt"), "http://egg.5ch.net/test/read.cgi/news/");
  EXPECT_EQ(BoardUrlOfCacheName("egg.5ch.net%2Fnews.txt"), "http://egg.5ch.net/news/");
  EXPECT_EQ(BoardUrlOfCacheName("jbbs.example%3A81%2Fgame%2F123.txt"), "http://jbbs.example:81/game/123/");
  // A board listed as https keeps its scheme in the cache name and in its links.
  EXPECT_EQ(BoardUrlOfCacheName("https%3A%2F%2Fegg.5ch.net%2Fnews.txt"), "https://egg.5ch.net/news/");
  EXPECT_EQ(ThreadUrlPrefixOfCacheName("https%3A%2F%2Fegg.5ch.net%3A8443%2Fnews.txt"),
            "https://egg.5ch.net:8443/test/read.cgi/news/");
}

TEST(HostLogSnapshot, KeysOfEveryCacheLineInOrder) {
  EXPECT_EQ(SnapshotText("2.dat<>B (3)\n1.dat<>A (1)\r\nno mark\r\r\n9.dat<>x<>y (1)"),
            "2.dat\r\n1.dat\r\n\r\n\r\n9.dat\r\n");
  EXPECT_EQ(SnapshotFileName("dir\\h%2Fb.txt"), "dir\\h%2Fb.lst");

  TempDir dir;
  WriteFile(dir / "h%2Fb.txt", "5.dat<>T (1)\n");
  WriteSnapshotFile(dir / "h%2Fb.txt");
  EXPECT_EQ(ReadFile(dir / "h%2Fb.lst"), "5.dat\r\n");
}

// The report compares a board with its snapshot before building anything; the
// answer must be exactly whether a fresh snapshot would have the same bytes.
TEST(HostLogSnapshot, SnapshotOfIsTheByteComparisonWithAFreshSnapshot) {
  const std::vector<std::string> caches{
      "",
      "1.dat<>A (1)\r\n2.dat<>B (2)\r\n",
      "1.dat<>A (1)\n2.dat<>B (2)",
      "1.dat<>A (1)\r\nno mark\r\n\r\n<>empty key (1)\r\n",
      "1.dat<>A (1)\r2.dat<>B (2)\r",
      "12.dat<>A (1)\r\n",
      "1.dat<>x<>y (1)\r\n",
  };
  const std::vector<std::string> snapshots{
      "",
      "1.dat\r\n2.dat\r\n",
      "1.dat\r\n2.dat",
      "1.dat\n2.dat\n",
      "2.dat\r\n1.dat\r\n",
      "1.dat\r\n2.dat\r\n3.dat\r\n",
      "1.dat\r\n",
      "1.dat\r\n\r\n\r\n\r\n",
      "1.dat\r\n\r\n\r\n",
      "12.dat\r\n",
      "1.dat\r\n2.dat\r\n\r\n",
      "1.da\r\n",
      "\r\n",
  };
  for (const std::string& cache : caches) {
    EXPECT_TRUE(IsSnapshotOf(SnapshotText(cache), cache)) << cache;
    for (const std::string& snapshot : snapshots)
      EXPECT_EQ(IsSnapshotOf(snapshot, cache), SnapshotText(cache) == snapshot) << cache << " / " << snapshot;
  }
}

TEST(HostLogThreadList, EveryLineIsAThreadPath) {
  TempDir dir;
  WriteFile(dir / "favorite.idx", "a\\b\\1.idx\r\nc\\d\\2.idx\nlast\\x\\3.idx");
  EXPECT_EQ(ReadThreadListFile(dir / "favorite.idx"),
            (std::vector<std::string>{"a\\b\\1.idx", "c\\d\\2.idx", "last\\x\\3.idx"}));
}

}  // namespace
}  // namespace vek
