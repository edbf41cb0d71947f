// The download worker against the loopback board server: the request it
// sends, the bodies it hands back and every way a download can fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "FetchTestSupport.h"
#include "TestSupport.h"
#include "fetch/OldHttpGet.h"

namespace vek {
namespace {

using test::SecondsSince;
using test::SharedBoardServer;

constexpr const char* Agent = "Monazilla/1.00 (VEK/3.14.0)";
using test::AbortSeconds;
using Clock = std::chrono::steady_clock;

std::string Download(THttpGet& getter, const std::string& url, const std::string& proxy = "") {
  getter.Start(url, Agent, proxy);
  while (!getter.WaitIdle(100)) {
  }
  return getter.ResponseStream();
}

// A board with the given body and settings; its URL.
std::string Board(const std::string& body, const std::string& config = "", const std::string& host = "a") {
  std::string name = test::UniqueName("board");
  SharedBoardServer().AddBoard(host, name, body, config);
  return SharedBoardServer().Url(host, name);
}

std::string SampleList() { return test::RealFixture("subject-a.txt"); }

TEST(HttpGetTest, SendsTheAgentAndTheTwoExtraHeadersExactly) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  std::string name = test::UniqueName("headers");
  SharedBoardServer().AddBoard("a", name, "1.dat<>x (1)\n");
  Download(getter, SharedBoardServer().Url("a", name));
  auto heads = SharedBoardServer().Requests("/" + name + "/");
  ASSERT_EQ(heads.size(), 1u);
  const std::string& head = heads[0];
  EXPECT_EQ(head.rfind("GET /" + name + "/subject.txt HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nUser-Agent: Monazilla/1.00 (VEK/3.14.0)\r\n"), std::string::npos) << head;
#ifdef _WIN32
  // WinInet writes every header it is given in its own "Name: value" form.
  const std::string accept = "\r\nAccept: */*\r\n";
#else
  const std::string accept = "\r\nAccept:*/*\r\n";
#endif
  size_t at = head.find(accept);
  EXPECT_NE(at, std::string::npos) << head;
  EXPECT_EQ(head.find("\r\nAccept:", at + 1), std::string::npos) << "a second Accept header: " << head;
  EXPECT_NE(head.find("\r\nAccept-Encoding: gzip\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nHost: " + SharedBoardServer().Address("a") + "\r\n"), std::string::npos) << head;
}

TEST(HttpGetTest, DecodesGzipBodiesWhateverTheLabelSpelling) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  EXPECT_EQ(Download(getter, Board(SampleList(), "gzip\n")), SampleList());
  EXPECT_EQ(Download(getter, Board(SampleList(), "x-gzip\n")), SampleList());
}

TEST(HttpGetTest, PassesAnUnlabelledBodyThroughByteForByte) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  // Looks like gzip and holds NUL and lone CR bytes, but nothing says it is encoded.
  std::string body = test::Gzip("hello") + std::string("\0\r\r\n\x81\x5C", 6);
  EXPECT_EQ(Download(getter, Board(body)), body);
  EXPECT_EQ(Download(getter, Board(SampleList())), SampleList());
}

TEST(HttpGetTest, AGzipLabelOnAPlainBodyGivesNothing) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  EXPECT_EQ(Download(getter, Board(SampleList(), "fake-gzip\n")), "");
}

TEST(HttpGetTest, DeliversTheBodyOfAnErrorStatus) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  std::string page = "<html><body>No such board</body></html>";
  EXPECT_EQ(Download(getter, Board(page, "status 404\n")), page);
  EXPECT_NE(Download(getter, SharedBoardServer().Url("a", "missing-board")).find("<html>"), std::string::npos);
}

TEST(HttpGetTest, FollowsARedirectToAnotherHost) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  std::string target = test::UniqueName("target");
  SharedBoardServer().AddBoard("b", target, SampleList());
  std::string url = Board("", "redirect b/" + target + "/subject.txt\n", "a");
  EXPECT_EQ(Download(getter, url), SampleList());
  EXPECT_EQ(SharedBoardServer().Requests("/" + target + "/").size(), 1u);
}

TEST(HttpGetTest, EveryFailureLeavesAnEmptyResponse) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  const std::string good = SampleList();
  struct Case {
    const char* what;
    std::string url;
  } cases[] = {
      {"connection reset mid-body", Board(good, "reset\n")},
      {"nothing listening", "http://127.0.0.1:1/board/subject.txt"},
      {"name that does not resolve", "http://no-such-host.invalid/board/subject.txt"},
      {"not a URL", "this is not a URL"},
  };
  for (const Case& c : cases) {
    // A good download first: a failure must not hand back the previous body.
    ASSERT_EQ(Download(getter, Board(good)), good);
    EXPECT_EQ(Download(getter, c.url), "") << c.what;
  }
}

TEST(HttpGetTest, AServerThatStopsSendingFailsWithinTheReceiveTimeOut) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  auto start = Clock::now();
  EXPECT_EQ(Download(getter, Board(SampleList(), "stall\n")), "");
  double seconds = SecondsSince(start);
  EXPECT_GE(seconds, 4.0);
  EXPECT_LT(seconds, 12.0);
}

TEST(HttpGetTest, AbortReleasesABlockedDownloadAndCanBeRepeated) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  getter.Abort();  // idle: nothing to abort, no harm
  getter.Start(Board(SampleList(), "silent\n"), Agent, "");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(getter.Idle());
  auto start = Clock::now();
  for (int i = 0; i < 5 && !getter.Idle(); ++i) {
    getter.Abort();
    getter.WaitIdle(100);
  }
  EXPECT_TRUE(getter.WaitIdle(8000));
  EXPECT_LT(SecondsSince(start), AbortSeconds);
  EXPECT_EQ(getter.ResponseStream(), "");
  // The worker takes the next request as if nothing had happened.
  EXPECT_EQ(Download(getter, Board(SampleList())), SampleList());
}

TEST(HttpGetTest, MarksActivityWhileItWorks) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  uint32_t before = getter.LastActivity();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Download(getter, Board(SampleList()));
  EXPECT_GE(getter.LastActivity() - before, 40u);
}

TEST(HttpGetTest, GoesThroughTheConfiguredProxyAndOtherwiseDirect) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  std::string proxy = SharedBoardServer().ProxyAddress();
  ASSERT_FALSE(proxy.empty());
  std::string name = test::UniqueName("viaproxy");
  SharedBoardServer().AddBoard("b", name, SampleList());
  // "b" resolves nowhere but in the proxy, so only a proxied request can succeed.
  std::string url = "http://b/" + name + "/subject.txt";
  EXPECT_EQ(Download(getter, url, proxy), SampleList());
  // Only the proxy saw it, asked for with the whole URL (WinInet adds the port 80).
  auto heads = SharedBoardServer().Requests(name);
  ASSERT_EQ(heads.size(), 1u);
  ASSERT_EQ(SharedBoardServer().Requests("proxy GET http://b").size(), 1u);
  EXPECT_EQ(heads[0].rfind("GET http://b", 0), 0u) << heads[0];
  EXPECT_NE(heads[0].find("/" + name + "/subject.txt HTTP/1.1\r\n"), std::string::npos) << heads[0];
  EXPECT_NE(heads[0].find("\r\nUser-Agent: Monazilla/1.00 (VEK/3.14.0)\r\n"), std::string::npos);
  EXPECT_NE(heads[0].find("\r\nAccept-Encoding: gzip\r\n"), std::string::npos);

#ifndef _WIN32
  // No proxy set: direct, even when the environment names one.
  setenv("http_proxy", ("http://" + proxy).c_str(), 1);
  setenv("HTTP_PROXY", ("http://" + proxy).c_str(), 1);
#endif
  std::string direct = test::UniqueName("direct");
  SharedBoardServer().AddBoard("a", direct, SampleList());
  EXPECT_EQ(Download(getter, SharedBoardServer().Url("a", direct)), SampleList());
#ifndef _WIN32
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
#endif
  EXPECT_TRUE(SharedBoardServer().Requests("proxy GET http://" + SharedBoardServer().Address("a") + "/" + direct).empty());
  EXPECT_EQ(SharedBoardServer().Requests("a GET /" + direct + "/").size(), 1u);
}

TEST(HttpGetTest, RefusesBodiesBeyondTheCap) {
  if (!test::BoardServerUp()) return;
  THttpGet getter;
  std::string huge(33u * 1024 * 1024, 'x');
  EXPECT_EQ(Download(getter, Board(huge)), "");
  // Small on the wire, too large once decoded ("fake-gzip" labels it and sends it as it is).
  EXPECT_EQ(Download(getter, Board(test::Gzip(std::string(40u * 1024 * 1024, '\0')), "fake-gzip\n")), "");
}

TEST(HttpGetTest, GoesAwayPromptlyIdleOrBusy) {
  if (!test::BoardServerUp()) return;
  auto start = Clock::now();
  { THttpGet idle; }
  EXPECT_LT(SecondsSince(start), 1.0);
  start = Clock::now();
  {
    THttpGet busy;
    busy.Start(Board(SampleList(), "silent\n"), Agent, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  EXPECT_LT(SecondsSince(start), AbortSeconds);
}

TEST(HttpGetTest, ForceOnlineLeavesDownloadsWorking) {
  if (!test::BoardServerUp()) return;
  ForceOnline();
  ForceOnline();
  THttpGet getter;
  EXPECT_EQ(Download(getter, Board(SampleList())), SampleList());
}

}  // namespace
}  // namespace vek
