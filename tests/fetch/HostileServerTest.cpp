// Board servers that misbehave on purpose: every one ends as a failed board
// within a bounded time, and the board's previous cache file stays as it was.
#include <gtest/gtest.h>

#include "FetchTestSupport.h"
#include "TestSupport.h"
#include "fetch/OldHttpGet.h"
#include "fetch/SubjectFetch.h"

namespace vek {
namespace {

using test::SharedBoardServer;

TEST(HostileServerTest, EachIsAFailedBoardInBoundedTimeWithTheCacheUntouched) {
  if (!test::BoardServerUp()) return;
  test::TempDir dir;
  TFetchSettings settings;
  settings.BoardTimeLimit = 5;  // 60 in use; short here so that the slow case ends soon
  THttpGet getter;
  const std::string list = test::RealFixture("subject-a.txt");

  struct Case {
    const char* what;
    std::string config;
  } cases[] = {
      {"a body that never ends", "endless\n"},
      {"a gzip bomb (256 MB of zeros)", "bomb\n"},
      {"a NUL byte inside the list", "nul\n"},
      {"a 10 MB single line", "long-line 10485760\n"},
      {"one byte every 0.7 s (no time-out of inactivity ever fires)", "slowloris 700\n"},
      {"a redirect to itself", "redirect a/SELF/subject.txt\n"},
      {"a redirect to file:", "redirect file:///etc/passwd\n"},
      {"a redirect to ftp:", "redirect ftp://127.0.0.1/news/subject.txt\n"},
      {"status 200 with an HTML page", "error-page\n"},
      {"a Content-Length beyond the body", "wrong-length\n"},
  };
  for (const Case& c : cases) {
    std::string name = test::UniqueName("hostile");
    std::string config = c.config;
    if (size_t at = config.find("SELF"); at != std::string::npos) config.replace(at, 4, name);
    SharedBoardServer().AddBoard("a", name, list, config);
    std::string url = SharedBoardServer().Url("a", name);
    std::string cache = dir.Path() + SubjectCacheName(url) + ".txt";
    const std::string previous = "1000000001.dat<>the previous list (1)\r\n";
    test::WriteFile(cache, previous);

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FetchSubject(getter, settings, dir.Path(), platform::TEnv::Default(), nullptr, url)) << c.what;
    double seconds = test::SecondsSince(start);
    EXPECT_LT(seconds, settings.BoardTimeLimit + test::AbortSeconds) << c.what;
    EXPECT_EQ(test::ReadFile(cache), previous) << c.what;
    // The worker goes on with the next board as if nothing had happened.
    SharedBoardServer().AddBoard("a", name + "ok", list);
    EXPECT_TRUE(FetchSubject(getter, settings, dir.Path(), platform::TEnv::Default(), nullptr, SharedBoardServer().Url("a", name + "ok"))) << "after " << c.what;
    std::printf("  %-62s failed in %.1f s\n", c.what, seconds);
  }
}

}  // namespace
}  // namespace vek
