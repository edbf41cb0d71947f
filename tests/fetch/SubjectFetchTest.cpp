// One board fetched through the worker and stored in the subject cache: the
// stored format, the list forms of other networks, failures that must leave
// the previous cache file alone, and the inactivity time-out.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "BoardServerProcess.h"
#include "FetchTestSupport.h"
#include "TestSupport.h"
#include "fetch/OldHttpGet.h"
#include "fetch/SubjectFetch.h"
#include "platform/Collate.h"

namespace vek {
namespace {

using test::SharedBoardServer;

// The list as the EUC-JP conversion brings it back: its half-width kana
// have no place in the conversion by way of JIS and are left out.
std::string WithoutHalfWidthKana(const std::string& sjis) {
  std::string out;
  for (size_t i = 0; i < sjis.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(sjis[i]);
    if (c >= 0xA1 && c <= 0xDF) continue;
    out += sjis[i];
    if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < sjis.size()) out += sjis[++i];
  }
  return out;
}

class SubjectFetchTest : public testing::Test {
 protected:
  void SetUp() override {
    Settings.TimeOutTime = 1;
  }

  // Serves the body as a new board of the host; its URL.
  std::string Board(const std::string& body, const std::string& config = "", const std::string& host = "a") {
    std::string name = test::UniqueName("sbj");
    SharedBoardServer().AddBoard(host, name, body, config);
    return SharedBoardServer().Url(host, name);
  }
  bool Fetch(const std::string& url) {
    return FetchSubject(Getter, Settings, Dir.Path(), platform::TEnv::Default(), [this] { ++Pumps; }, url);
  }
  std::string CacheFile(const std::string& url) { return Dir.Path() + SubjectCacheName(url) + ".txt"; }
  std::string Cached(const std::string& url) { return test::ReadFile(CacheFile(url)); }

  test::TempDir Dir;
  TFetchSettings Settings;
  THttpGet Getter;
  int Pumps = 0;
};

TEST_F(SubjectFetchTest, StoresOneLineWithCrLfUnderTheBoardsCacheName) {
  if (!test::BoardServerUp()) return;
  std::string url = Board("1234567890.dat<>Title (5)");
  ASSERT_TRUE(Fetch(url));
  std::string expectedName = SharedBoardServer().Address("a");
  expectedName.replace(expectedName.find(':'), 1, "%3A");
  EXPECT_EQ(SubjectCacheName(url).rfind(expectedName + "%2F", 0), 0u);
  EXPECT_EQ(Cached(url), "1234567890.dat<>Title (5)\r\n");
}

TEST_F(SubjectFetchTest, NormalisesLineEndsSortsAndEndsAtTrailingNuls) {
  if (!test::BoardServerUp()) return;
  // NUL bytes at the very end are padding; one with text after it fails the
  // board (the hostile server test).
  std::string url = Board(std::string("300.dat<>C (3)\n200.dat<>b (2)\r100.dat<>A (1)\r\n\n400.dat<>D (4)\0\0", 63));
  ASSERT_TRUE(Fetch(url));
  // The empty line stays and sorts first.
  EXPECT_EQ(Cached(url), "\r\n100.dat<>A (1)\r\n200.dat<>b (2)\r\n300.dat<>C (3)\r\n400.dat<>D (4)\r\n");
}

TEST_F(SubjectFetchTest, StoresARealGzipEncodedListSortedAndComplete) {
  if (!test::BoardServerUp()) return;
  std::string list = test::RealFixture("subject-a.txt");
  std::string url = Board(list, "gzip\n");
  ASSERT_TRUE(Fetch(url));
  std::string stored = Cached(url);
  EXPECT_EQ(std::count(stored.begin(), stored.end(), '\n'), std::count(stored.begin(), stored.end(), '\r'));
  std::vector<std::string> lines = test::Lines(stored);
  for (size_t i = 1; i < lines.size(); ++i)
    ASSERT_LE(platform::CompareTextNoCase(lines[i - 1], lines[i]), 0) << "line " << i;
  std::vector<std::string> original = test::Lines(list);
  std::sort(lines.begin(), lines.end());
  std::sort(original.begin(), original.end());
  EXPECT_EQ(lines, original);
}

// A board whose list is what the cache already holds leaves the file alone
// (its time stamp stays); a changed list replaces it.
TEST_F(SubjectFetchTest, AnUnchangedListIsNotWrittenAgain) {
  if (!test::BoardServerUp()) return;
  std::string name = test::UniqueName("same");
  SharedBoardServer().AddBoard("a", name, "2.dat<>b (2)\n1.dat<>a (1)\n", "gzip\n");
  std::string url = SharedBoardServer().Url("a", name);
  ASSERT_TRUE(Fetch(url));
  const std::filesystem::path file = CacheFile(url);
  const auto old = std::filesystem::last_write_time(file) - std::chrono::hours(24);
  std::filesystem::last_write_time(file, old);
  ASSERT_TRUE(Fetch(url));
  EXPECT_EQ(std::filesystem::last_write_time(file), old);
  EXPECT_EQ(Cached(url), "1.dat<>a (1)\r\n2.dat<>b (2)\r\n");
  SharedBoardServer().AddBoard("a", name, "3.dat<>c (1)\n2.dat<>b (3)\n1.dat<>a (1)\n", "gzip\n");
  ASSERT_TRUE(Fetch(url));
  EXPECT_EQ(Cached(url), "1.dat<>a (1)\r\n2.dat<>b (3)\r\n3.dat<>c (1)\r\n");
}

TEST_F(SubjectFetchTest, TurnsTheCommaFormIntoBoardLinesOnlyWhenAskedTo) {
  if (!test::BoardServerUp()) return;
  std::string url = Board("1234.cgi,Title (3)\n1233.dat,Other, with comma (2)\n");
  ASSERT_TRUE(Fetch(url));
  EXPECT_EQ(Cached(url), "1233.dat<>Other, with comma (2)\r\n1234.dat<>Title (3)\r\n");

  Settings.ExternalCheck = false;
  std::string plain = Board("1234.cgi,Title (3)\n");
  EXPECT_FALSE(Fetch(plain));
  EXPECT_FALSE(test::Exists(CacheFile(plain)));
}

TEST_F(SubjectFetchTest, ConvertsTheRentalServicesEucJpLists) {
  if (!test::BoardServerUp()) return;
  std::string list = test::RealFixture("subject-b.txt");
  Settings.RentalDomains = {"example.invalid", SharedBoardServer().Address("b")};
  std::string url = Board(list, "euc\n", "b");
  ASSERT_TRUE(Fetch(url));
  std::vector<std::string> stored = test::Lines(Cached(url));
  std::vector<std::string> original = test::Lines(WithoutHalfWidthKana(list));
  std::sort(stored.begin(), stored.end());
  std::sort(original.begin(), original.end());
  EXPECT_EQ(stored, original);

  // The same bytes from a host outside the service stay EUC-JP: no line matches.
  Settings.RentalDomains = {"example.invalid"};
  std::string other = Board(list, "euc\n", "b");
  ASSERT_TRUE(Fetch(other));
  EXPECT_NE(Cached(other), Cached(url));
}

TEST_F(SubjectFetchTest, ReformatsTheRentalServicesOldHostLists) {
  if (!test::BoardServerUp()) return;
  Settings.RentalDomains = {SharedBoardServer().Address("b")};
  Settings.RentalOldHost = SharedBoardServer().Address("b");
  std::string url = Board("923_x<>First<>5\n\n123_x<>Second<>7<>ignored\nnone<>Third<>1\n", "", "b");
  ASSERT_TRUE(Fetch(url));
  // 923_x gets a "1" appended; 123_x also loses its leading "1"; an id
  // without "_" leaves only the "1"; the blank line is dropped.
  EXPECT_EQ(Cached(url), "1.dat<>Third (1)\r\n231.dat<>Second (7)\r\n9231.dat<>First (5)\r\n");

  // Japanese titles survive the EUC-JP conversion before the reformat.
  std::string list = test::RealFixture("subject-a.txt");
  std::string converted = Board(list, "oldhost\neuc\n", "b");
  ASSERT_TRUE(Fetch(converted));
  std::string first = test::Lines(list)[0];  // key.dat<>title (count)
  std::string key = first.substr(0, first.find(".dat<>"));
  std::string rest = first.substr(first.find(".dat<>"));
  std::string expected = (key[0] == '1' ? key.substr(1) : key) + "1" + rest;
  std::vector<std::string> stored = test::Lines(Cached(converted));
  EXPECT_NE(std::find(stored.begin(), stored.end(), expected), stored.end()) << expected;
}

TEST_F(SubjectFetchTest, EveryKindOfFailureKeepsThePreviousCacheFile) {
  if (!test::BoardServerUp()) return;
  const std::string good = "1.dat<>Good (1)\n";
  const std::string previous = "previous run's list\r\n";
  std::map<std::string, std::string> cases = {
      {"stalls after part of the list", "stall\n"},
      {"never answers", "silent\n"},
      {"resets the connection", "reset\n"},
      {"labelled gzip but plain", "fake-gzip\n"},
      {"HTML error page", "error-page\n"},
      {"404 page", "status 404\nerror-page\n"},
      {"redirect to a missing board", "redirect a/no-such-board/subject.txt\n"},
  };
  for (const auto& [what, config] : cases) {
    std::string url = Board(good, config);
    test::WriteFile(CacheFile(url), previous);
    EXPECT_FALSE(Fetch(url)) << what;
    EXPECT_EQ(Cached(url), previous) << what;
  }
  struct Body {
    const char* what;
    std::string bytes;
  } bodies[] = {{"empty list", ""}, {"first line empty", "\n1.dat<>x (1)\n"}, {"a notice", "Board moved\n"}};
  for (const Body& body : bodies) {
    std::string url = Board(body.bytes);
    test::WriteFile(CacheFile(url), previous);
    EXPECT_FALSE(Fetch(url)) << body.what;
    EXPECT_EQ(Cached(url), previous) << body.what;
  }
  std::string refused = "http://127.0.0.1:1/board/subject.txt";
  test::WriteFile(CacheFile(refused), previous);
  EXPECT_FALSE(Fetch(refused));
  EXPECT_EQ(Cached(refused), previous);
}

TEST_F(SubjectFetchTest, AbortsAfterTimeOutTimeWithoutActivityAndKeepsPumping) {
  if (!test::BoardServerUp()) return;
  std::string url = Board("1.dat<>x (1)\n", "silent\n");
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Fetch(url));
  double seconds = test::SecondsSince(start);
  EXPECT_GE(seconds, 1.0);
  EXPECT_LT(seconds, 1.0 + test::AbortSeconds);
  // The window is served every 10 ms or so while waiting.
  EXPECT_GE(Pumps, static_cast<int>(seconds * 1000 / 30));
  EXPECT_TRUE(Getter.Idle());

  // An answer after 1.5 s of silence: within the worker's own 5-second limit,
  // so only the inactivity time-out of one second can turn it away...
  std::string slow = Board("1.dat<>x (1)\n", "delay 1500\n");
  test::WriteFile(CacheFile(slow), "previous\r\n");
  EXPECT_FALSE(Fetch(slow));
  EXPECT_EQ(Cached(slow), "previous\r\n");
  // ...and with three seconds allowed it is waited for.
  Settings.TimeOutTime = 3;
  EXPECT_TRUE(Fetch(slow));
  EXPECT_EQ(Cached(slow), "1.dat<>x (1)\r\n");
}

TEST_F(SubjectFetchTest, ARedirectedBoardIsStoredUnderItsOwnName) {
  if (!test::BoardServerUp()) return;
  std::string target = test::UniqueName("moved");
  SharedBoardServer().AddBoard("b", target, "5.dat<>Moved (5)\n");
  std::string url = Board("", "redirect b/" + target + "/subject.txt\n");
  ASSERT_TRUE(Fetch(url));
  EXPECT_EQ(Cached(url), "5.dat<>Moved (5)\r\n");
}

TEST_F(SubjectFetchTest, RefusesAnUnsafeCacheNameWithoutAsking) {
  if (!test::BoardServerUp()) return;
  std::string name = test::UniqueName("unsafe");
  std::string url = "http://" + SharedBoardServer().Address("a") + "/..\\" + name + "/subject.txt";
  EXPECT_FALSE(Fetch(url));
  EXPECT_TRUE(SharedBoardServer().Requests(name).empty());
}

// Against the board server answering conditional requests itself: its
// validators stored as sent and sent back as stored, a 304 that keeps the
// cache, a changed list that comes whole (the whole check: tests/e2e).
TEST_F(SubjectFetchTest, WithConditionalGetAnUnchangedListIsNotSentAgain) {
  test::BoardServerProcess server({"a"}, {"--conditional"});
  ASSERT_TRUE(server.Running()) << server.Problem();
  Settings.ConditionalGet = true;
  server.AddBoard("a", "cond", "1.dat<>One (1)\n");
  const std::string url = server.Url("a", "cond");
  const std::string validators = Dir.Path() + SubjectCacheName(url) + ValidatorsFileExtension;
  bool notModified = false;
  ASSERT_TRUE(FetchSubject(Getter, Settings, Dir.Path(), platform::TEnv::Default(), nullptr, url, &notModified));
  EXPECT_FALSE(notModified);
  const platform::THttpValidators sent = ParseValidators(test::ReadFile(validators));
  EXPECT_TRUE(sent.LastModified.ends_with(" GMT")) << sent.LastModified;
  EXPECT_TRUE(sent.ETag.starts_with("\"")) << sent.ETag;

  ASSERT_TRUE(FetchSubject(Getter, Settings, Dir.Path(), platform::TEnv::Default(), nullptr, url, &notModified));
  EXPECT_TRUE(notModified);
  EXPECT_EQ(Cached(url), "1.dat<>One (1)\r\n");
  const std::vector<std::string> heads = server.Requests(" GET /cond/");
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[0].find("If-"), std::string::npos) << heads[0];
  EXPECT_NE(heads[1].find("\r\nIf-Modified-Since: " + sent.LastModified + "\r\n"), std::string::npos) << heads[1];
  EXPECT_NE(heads[1].find("\r\nIf-None-Match: " + sent.ETag + "\r\n"), std::string::npos) << heads[1];

  // The list changes: it comes whole, with validators of its own.
  server.AddBoard("a", "cond", "1.dat<>One (2)\n2.dat<>Two (1)\n");
  notModified = false;
  ASSERT_TRUE(FetchSubject(Getter, Settings, Dir.Path(), platform::TEnv::Default(), nullptr, url, &notModified));
  EXPECT_FALSE(notModified);
  EXPECT_EQ(Cached(url), "1.dat<>One (2)\r\n2.dat<>Two (1)\r\n");
  EXPECT_NE(ParseValidators(test::ReadFile(validators)).ETag, sent.ETag);
}

}  // namespace
}  // namespace vek
