// One download worker through a run of boards keeps each host's connection:
// the servers see the same requests in the same order, over one connection a
// host; a kept connection that the server closed meanwhile is replaced
// without failing the board; an abort closes only what it interrupts.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "FetchTestSupport.h"
#include "TestSupport.h"
#include "fetch/OldHttpGet.h"

namespace vek {
namespace {

constexpr const char* Agent = "Monazilla/1.00 (VEK/3.14.0)";

std::string Download(THttpGet& getter, const std::string& url) {
  getter.Start(url, Agent, "");
  while (!getter.WaitIdle(100)) {
  }
  return getter.ResponseStream();
}

// The logged request lines' connections ("~address:port"), distinct.
size_t ConnectionsOf(const std::vector<std::string>& lines) {
  std::set<std::string> seen;
  for (const std::string& line : lines) seen.insert(line.substr(line.rfind('~')));
  return seen.size();
}

// The request line without its connection.
std::string Request(const std::string& line) { return line.substr(0, line.rfind(" ~")); }

struct TServer {
  explicit TServer(std::vector<std::string> options) : Process({"a", "b"}, std::move(options)) {}
  std::string Board(const std::string& host, const std::string& name, const std::string& config = "") {
    Process.AddBoard(host, name, List, config);
    return Process.Url(host, name);
  }
  test::BoardServerProcess Process;
  const std::string List = test::RealFixture("subject-a.txt");
};

TEST(KeptConnectionTest, BoardsOfTwoHostsInTurnGoOverOneConnectionEach) {
  TServer server({"--keep-alive", "30"});
  ASSERT_TRUE(server.Process.Running()) << server.Process.Problem();
  THttpGet getter;
  std::vector<std::string> asked;
  for (int i = 0; i < 6; ++i) {
    const char* host = i % 2 ? "b" : "a";
    std::string url = server.Board(host, "kept" + std::to_string(i), i == 2 ? "gzip\n" : "");
    EXPECT_EQ(Download(getter, url), server.List) << url;
    asked.push_back(std::string(host) + " GET /kept" + std::to_string(i) + "/subject.txt");
  }
  std::vector<std::string> lines = server.Process.RequestLines(" GET /kept");
  std::vector<std::string> requests;
  for (const std::string& line : lines) requests.push_back(Request(line));
  EXPECT_EQ(requests, asked);
  EXPECT_EQ(ConnectionsOf(server.Process.RequestLines("a GET ")), 1u);
  EXPECT_EQ(ConnectionsOf(server.Process.RequestLines("b GET ")), 1u);
  // A request on a kept connection is the same request as the first one.
  std::vector<std::string> heads = server.Process.Requests(" GET /kept");
  ASSERT_EQ(heads.size(), 6u);
  std::string first = heads[0], later = heads[4];
  first.replace(first.find("kept0"), 5, "kept4");
  EXPECT_EQ(later, first);
}

// The server ends its keep-alive without notice: right after every answer
// it promised to keep, or once a connection has been idle for a second.
TEST(KeptConnectionTest, AConnectionTheServerClosedIsReplacedAndTheBoardStillArrives) {
  struct Case {
    const char* what;
    std::vector<std::string> options;
    int pauseMs;
  } cases[] = {{"closed after every answer", {"--drop-after-response"}, 0},
               {"closed after a second idle", {"--keep-alive", "1"}, 1600}};
  for (const Case& c : cases) {
    TServer server(c.options);
    ASSERT_TRUE(server.Process.Running()) << server.Process.Problem();
    THttpGet getter;
    for (int i = 0; i < 3; ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(c.pauseMs));
      std::string name = "stale" + std::to_string(i);
      EXPECT_EQ(Download(getter, server.Board("a", name)), server.List) << c.what << ", board " << i;
      EXPECT_EQ(server.Process.RequestLines(" GET /" + name + "/").size(), 1u) << c.what << ", board " << i;
    }
    EXPECT_EQ(ConnectionsOf(server.Process.RequestLines("a GET ")), 3u) << c.what;
  }
}

TEST(KeptConnectionTest, AnAbortOnAKeptConnectionEndsThatBoardOnly) {
  TServer server({"--keep-alive", "30"});
  ASSERT_TRUE(server.Process.Running()) << server.Process.Problem();
  THttpGet getter;
  ASSERT_EQ(Download(getter, server.Board("a", "before")), server.List);
  ASSERT_EQ(Download(getter, server.Board("b", "other")), server.List);
  getter.Start(server.Board("a", "silent", "silent\n"), Agent, "");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_FALSE(getter.Idle());
  auto start = std::chrono::steady_clock::now();
  while (!getter.WaitIdle(50)) getter.Abort();
  EXPECT_LT(test::SecondsSince(start), test::AbortSeconds);
  EXPECT_EQ(getter.ResponseStream(), "");
  // The silent board's request went over the kept connection; the next ones
  // of both hosts arrive, and nothing was asked twice.
  EXPECT_EQ(Download(getter, server.Board("a", "after")), server.List);
  EXPECT_EQ(Download(getter, server.Board("b", "after")), server.List);
  // An abort that may land before the worker has even begun costs no more.
  getter.Start(server.Board("a", "early"), Agent, "");
  getter.Abort();
  while (!getter.WaitIdle(50)) {
  }
  EXPECT_EQ(Download(getter, server.Board("b", "last")), server.List);
  std::vector<std::string> a = server.Process.RequestLines("a GET ");
  ASSERT_GE(a.size(), 3u);
  EXPECT_EQ(Request(a[1]), "a GET /silent/subject.txt");
  EXPECT_EQ(a[0].substr(a[0].rfind('~')), a[1].substr(a[1].rfind('~')));
  // The aborted download's connection went, and only it: the other host's
  // connection served all its boards, before the aborts and after them.
  EXPECT_NE(a[1].substr(a[1].rfind('~')), a[2].substr(a[2].rfind('~')));
  EXPECT_EQ(server.Process.RequestLines("b GET ").size(), 3u);
  EXPECT_EQ(ConnectionsOf(server.Process.RequestLines("b GET ")), 1u);
}

}  // namespace
}  // namespace vek
