// The response-count update: counts from the subject cache into index files,
// news, fallen threads with and without the mark, external boards, and paths
// that must not be followed.
#include <gtest/gtest.h>

#include "ReportsFixture.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "reports/ResCount.h"
#include "support/funcs.h"

namespace vek {
namespace {

using test::ListOf;
using test::ThreadRecord;

TEST(CountOfSubjectLine, CountComesFromTheLastParentheses) {
  EXPECT_EQ(CountOfSubjectLine("1234567890.dat<>Title (part 2) (57)"), 57);
  EXPECT_EQ(CountOfSubjectLine("1234567890.dat<>Title (57"), -1);
  EXPECT_EQ(CountOfSubjectLine("1234567890.dat<>Title (x)"), -1);
  EXPECT_EQ(CountOfSubjectLine("1234567890.dat<>Title (0)"), 0);
  EXPECT_EQ(CountOfSubjectLine("1234567890.dat<>Title ()"), -1);
  EXPECT_EQ(CountOfSubjectLine("1234567890.dat<>Title (-5)"), -1);
  EXPECT_EQ(CountOfSubjectLine("no parenthesis)"), -1);
  EXPECT_EQ(CountOfSubjectLine(""), -1);
}

struct TCountCase {
  const char* Server;
  const char* Local;
  const char* Mark;
  int Count;
  const char* NewServer;
  const char* NewMark;
  bool News;
};

TEST(RewriteServerCount, FieldsSevenToNineFollowTheNewsRules) {
  const TCountCase cases[] = {
      {"10", "10", "", 0, "10", "-1", false},    // a count of 0 clears the news
      {"10", "10", "-1", 12, "12", "", true},    // more than the local count
      {"10", "10", "-1", 10, "10", "-1", false}, // nothing new
      {"10", "10", "", 10, "10", "", true},      // unread news stays
      {"1", "abc", "-1", 1002, "1002", "-1", false},
      {"1", "abc", "-1", 1003, "1003", "", true},
      {"5", "3", "7", 4, "4", "7", true},        // another mark also means news
      {"5", "-2", "-1", 123456789, "123456789", "", true},
  };
  std::string rewritten = "left from an earlier thread";
  for (const TCountCase& c : cases) {
    const std::string text = ThreadRecord("0", "表題", "h", "b", "key", c.Server, c.Local, c.Mark) + "\r\nlog\r\n";
    EXPECT_EQ(RewriteServerCount(text, c.Count, rewritten), c.News) << c.Local << "/" << c.Count;
    EXPECT_EQ(rewritten, ThreadRecord("0", "表題", "h", "b", "key", c.NewServer, c.Local, c.NewMark) + "\r\nlog\r\n")
        << c.Local << "/" << c.Count;
  }
}

// Records that are short, long or oddly ended come out as 21 fields and CR LF
// line ends, further lines kept as they were.
TEST(RewriteServerCount, BrokenRecordsAndLineEnds) {
  const std::string full = ThreadRecord("0", "T", "h", "b", "1", "10", "10", "-1");
  const std::string news = ThreadRecord("0", "T", "h", "b", "1", "11", "10", "");
  const std::string same = ThreadRecord("0", "T", "h", "b", "1", "10", "10", "-1");
  struct TCase {
    std::string Text;
    int Count;
    std::string Expected;
    bool News;
  };
  const TCase cases[] = {
      {"", 0, "\t\t\t\t\t\t\t\t\t-1\t\t\t\t\t\t\t\t\t\t\t\r\n", false},
      {"", 5, "\t\t\t\t\t\t\t5\t\t\t\t\t\t\t\t\t\t\t\t\t\r\n", true},
      {"\r\n", 0, "\t\t\t\t\t\t\t\t\t-1\t\t\t\t\t\t\t\t\t\t\t\r\n", false},
      {std::string(23, '\t'), 7, "\t\t\t\t\t\t\t7\t\t\t\t\t\t\t\t\t\t\t\t\t\r\n", true},
      {"1\t0\t0\tT\th\tb\t1\t5\t5\r\nshort first line\r\n", 6,
       "1\t0\t0\tT\th\tb\t1\t6\t5\t\t\t\t\t\t\t\t\t\t\t\t\r\nshort first line\r\n", true},
      {full, 11, news + "\r\n", true},
      {full + "\r", 10, same + "\r\n", false},
      {full + "\nsecond\r\rthird\n\n", 11, news + "\r\nsecond\r\n\r\nthird\r\n\r\n", true},
      {full + "\textra\tfields\r\n", 0, same + "\r\n", false},
  };
  std::string rewritten;
  for (const TCase& c : cases) {
    EXPECT_EQ(RewriteServerCount(c.Text, c.Count, rewritten), c.News) << c.Text << " / " << c.Count;
    EXPECT_EQ(rewritten, c.Expected) << c.Text << " / " << c.Count;
  }
}

class ResCountTest : public ::testing::Test {
 protected:
  void Run(const std::vector<std::string>& datList) {
    TStringList dat = ListOf(datList);
    Update.Clear();
    Dead.Clear();
    UpdateResCounts(F.Run(), dat, Update, Dead);
  }
  test::TReportsFixture F;
  TStringList Update, Dead;
};

constexpr const char* NewsPath = "egg.5ch.net\\news\\100.idx";
constexpr const char* SamePath = "egg.5ch.net\\news\\200.idx";
constexpr const char* GonePath = "egg.5ch.net\\news\\300.idx";
constexpr const char* ZeroPath = "egg.5ch.net\\news\\400.idx";

TEST_F(ResCountTest, WritesCountsAndCollectsNewsAndFallenThreads) {
  F.WriteCache("egg.5ch.net%2Fnews.txt",
               {"100.dat<>News (part 2) (12)", "200.dat<>Same (10)", "400.dat<>Zero (0)", "100.dat<>Duplicate (99)"});
  F.WriteIndex(NewsPath, ThreadRecord("0", "News", "egg.5ch.net", "news", "100", "10", "10", "-1") + "\r\nkept\r\n");
  std::string same = ThreadRecord("0", "Same", "egg.5ch.net", "news", "200", "10", "10", "-1") + "\r\n";
  F.WriteIndex(SamePath, same);
  std::string gone = ThreadRecord("32", "Gone", "egg.5ch.net", "news", "300", "5", "5", "-1") + "\r\nsecond\r\n";
  F.WriteIndex(GonePath, gone);
  F.WriteIndex(ZeroPath, ThreadRecord("0", "Zero", "egg.5ch.net", "news", "400", "10", "10", ""));
  // An index whose bytes would not change is not written at all.
  const platform::SystemTime old{2001, 2, 0, 3, 4, 5, 6, 0};
  SetFileWriteTime(F.LogDir() + SamePath, old);

  Run({NewsPath, SamePath, GonePath, ZeroPath});

  EXPECT_EQ(Update.Items, std::vector<std::string>{NewsPath});
  EXPECT_EQ(Dead.Items, std::vector<std::string>{GonePath});
  // Only the first line of a key counts; the further line stays.
  EXPECT_EQ(F.ReadIndex(NewsPath),
            ThreadRecord("0", "News", "egg.5ch.net", "news", "100", "12", "10", "") + "\r\nkept\r\n");
  EXPECT_EQ(F.ReadIndex(SamePath), same);
  EXPECT_EQ(GetFileWriteTime(F.LogDir() + SamePath).Year, 2001);
  EXPECT_EQ(F.ReadIndex(GonePath), gone);  // the mark is off by default
  EXPECT_EQ(F.ReadIndex(ZeroPath), ThreadRecord("0", "Zero", "egg.5ch.net", "news", "400", "10", "10", "-1") + "\r\n");
  EXPECT_GE(F.Log.Pumps, 4);
}

TEST_F(ResCountTest, FallenMarkWhenTheOptionIsOnOnceTheRunEnds) {
  F.Settings.MarkFallen = true;
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"100.dat<>Other (1)"});
  std::string rest = "0\tGone\tegg.5ch.net\tnews\t300\t5\t5\t-1" + std::string(11, '\t');
  F.WriteIndex(GonePath, "1\t32\t" + rest + "\r\nsecond\r\n");
  Run({GonePath});
  EXPECT_EQ(Dead.Items, std::vector<std::string>{GonePath});
  // Not yet: the mark waits until the run has published its reports.
  EXPECT_EQ(F.ReadIndex(GonePath), "1\t32\t" + rest + "\r\nsecond\r\n");
  MarkFallenThreads(F.Run(), Dead);
  EXPECT_EQ(F.ReadIndex(GonePath), "1\t48\t" + rest + "\r\n");
  F.Settings.MarkFallen = false;
  F.WriteIndex(GonePath, "1\t32\t" + rest + "\r\n");
  MarkFallenThreads(F.Run(), Dead);
  EXPECT_EQ(F.ReadIndex(GonePath), "1\t32\t" + rest + "\r\n");
}

TEST_F(ResCountTest, BoardWithoutCacheIsLeftAlone) {
  std::string record = ThreadRecord("0", "T", "egg.5ch.net", "news", "100", "1", "1", "-1");
  F.WriteIndex(NewsPath, record);
  F.Settings.MarkFallen = true;
  Run({NewsPath, SamePath});
  EXPECT_EQ(Update.Count(), 0);
  EXPECT_EQ(Dead.Count(), 0);
  EXPECT_EQ(F.ReadIndex(NewsPath), record);
}

TEST_F(ResCountTest, ExternalBoardsTakeHostAndBoardFromTheIndex) {
  const std::string plain = "ext.example.org\\bbs\\111.idx";
  const std::string ported = "whatever\\dir\\222.idx";
  const std::string noHost = "short.example\\bbs\\333.idx";
  F.WriteCache("ext.example.org%2Fbbs.txt", {"111.dat<>Ext (7)"});
  F.WriteCache("ext.example.org%3A8080%2Fbbs%2Fsub.txt", {"222.dat<>Ported (4)"});
  F.WriteIndex(plain, ThreadRecord("0", "Ext", "ext.example.org", "bbs", "111", "5", "5", "-1"));
  F.WriteIndex(ported, ThreadRecord("0", "Ported", "ext.example.org:8080", "bbs/sub", "222", "3", "3", "-1"));
  F.WriteIndex(noHost, "1\t0\t5\tOnly four items");
  Run({plain, ported, noHost});
  EXPECT_EQ(Update.Items, (std::vector<std::string>{plain, ported}));
  EXPECT_EQ(Dead.Count(), 0);
  EXPECT_EQ(F.ReadIndex(plain), ThreadRecord("0", "Ext", "ext.example.org", "bbs", "111", "7", "5", "") + "\r\n");
  EXPECT_EQ(F.ReadIndex(noHost), "1\t0\t5\tOnly four items");
}

TEST_F(ResCountTest, CacheNamesOfThreadPaths) {
  std::vector<std::string> suffixes{"5ch.net", "bbspink.com"};
  EXPECT_EQ(CacheFileNameOfThread("egg.5ch.net\\news\\1.idx", F.LogDir(), suffixes), "egg.5ch.net%2Fnews.txt");
  EXPECT_EQ(CacheFileNameOfThread("a.bbspink.com\\x\\y\\1.idx", F.LogDir(), suffixes), "a.bbspink.com%2Fx%2Fy.txt");
  EXPECT_EQ(CacheFileNameOfThread("egg.5ch.net\\表\\1.idx", F.LogDir(), suffixes), "egg.5ch.net%2F表.txt");
  F.WriteIndex("e.org\\b\\1.idx", ThreadRecord("0", "T", "e.org:81", "b", "1", "1", "1", "-1"));
  EXPECT_EQ(CacheFileNameOfThread("e.org\\b\\1.idx", F.LogDir(), suffixes), "e.org%3A81%2Fb.txt");
  F.WriteIndex("e.org\\b\\2.idx", ThreadRecord("0", "T", "..\\..", "b", "1", "1", "1", "-1"));
  EXPECT_EQ(CacheFileNameOfThread("e.org\\b\\2.idx", F.LogDir(), suffixes), "");
  EXPECT_EQ(CacheFileNameOfThread("..\\5ch.net\\1.idx", F.LogDir(), suffixes), "");
  EXPECT_EQ(CacheFileNameOfThread("missing.org\\b\\1.idx", F.LogDir(), suffixes), "");
}

TEST_F(ResCountTest, UnsafePathsAreNeverReadOrWritten) {
  // A thread path that climbs out of the log directory, with a cache that
  // would match it: it must be refused, not marked.
  F.Settings.MarkFallen = true;
  const std::string escape = "..\\outside.5ch.net\\1.idx";
  test::WriteFile(F.Root / "dor\\outside.5ch.net\\1.idx", "1\t0\tx");
  F.WriteCache("..%2Foutside.5ch.net.txt", {"2.dat<>x (1)"});
  const std::string badBoard = "e.org\\b\\9.idx";
  F.WriteIndex(badBoard, ThreadRecord("0", "T", "h", "..\\..\\x", "9", "1", "1", "-1"));
  Run({escape, badBoard});
  EXPECT_EQ(Dead.Count(), 0);
  EXPECT_EQ(Update.Count(), 0);
  EXPECT_EQ(test::ReadFile(F.Root / "dor\\outside.5ch.net\\1.idx"), "1\t0\tx");
  EXPECT_NE(F.LogText().find("Refused unsafe thread path: " + escape), std::string::npos) << F.LogText();
  EXPECT_NE(F.LogText().find("Refused unsafe board name"), std::string::npos) << F.LogText();
}

TEST_F(ResCountTest, BoardsThatAlternateAreEachLookedUpInTheirOwnCache) {
  const std::string a1 = "egg.5ch.net\\news\\1.idx", b1 = "egg.5ch.net\\poem\\1.idx", a2 = "egg.5ch.net\\news\\2.idx";
  F.WriteCache("egg.5ch.net%2Fnews.txt", {"1.dat<>A1 (8)", "2.dat<>A2 (9)"});
  F.WriteCache("egg.5ch.net%2Fpoem.txt", {"2.dat<>B2 (4)"});
  F.WriteIndex(a1, ThreadRecord("0", "A1", "", "", "1", "5", "5", "-1"));
  F.WriteIndex(b1, ThreadRecord("0", "B1", "", "", "1", "5", "5", "-1"));
  F.WriteIndex(a2, ThreadRecord("0", "A2", "", "", "2", "5", "5", "-1"));
  Run({a1, b1, a2});
  EXPECT_EQ(Update.Items, (std::vector<std::string>{a1, a2}));
  EXPECT_EQ(Dead.Items, std::vector<std::string>{b1});
}

// Many threads with new counts, the file of the 101st unreadable: the run
// stops there with the files before it written, as if each had been written
// at once, and the ones after it untouched.
TEST_F(ResCountTest, AFailureMidwayLeavesTheFilesBeforeItWritten) {
  std::vector<std::string> lines, paths;
  for (int i = 0; i < 150; ++i) {
    const std::string key = std::to_string(1000 + i);
    lines.push_back(key + ".dat<>T" + key + " (20)");
    paths.push_back("egg.5ch.net\\news\\" + key + ".idx");
    if (i != 100) F.WriteIndex(paths.back(), ThreadRecord("0", "T", "", "", key, "10", "10", "-1") + "\r\n");
  }
  ASSERT_TRUE(platform::CreateDirectories(F.LogDir() + paths[100]));
  F.WriteCache("egg.5ch.net%2Fnews.txt", lines);
  EXPECT_THROW(Run(paths), FileError);
  for (int i = 0; i < 150; ++i) {
    if (i == 100) continue;
    const std::string key = std::to_string(1000 + i);
    EXPECT_EQ(F.ReadIndex(paths[i]), ThreadRecord("0", "T", "", "", key, i < 100 ? "20" : "10", "10", i < 100 ? "" : "-1") + "\r\n") << i;
  }
}

}  // namespace
}  // namespace vek
