// Boards over real https. tests/fetch/tls.sh (CTest's "https" test) runs this
// program in a private mount namespace whose system CA bundle holds nothing
// but a private test authority, and whose /etc/hosts knows boards.vek.test;
// the loopback board server serves three hosts over TLS with certificates
// from that authority. The program itself is not told about any of it: it
// trusts what the system trusts, as it does for a user.
//
// Windows build under Wine 8.0 (measured here): WinInet checks the server's
// chain through crypt32, which fills its root store in each process from the
// host: the first of Wine's known places that holds certificates, and
// /etc/ssl/certs/ca-certificates.crt (the file libcurl uses on Debian) is the
// first of them (the hashed files beside it are not read once that file
// holds any). So the bind-mounted authority is all WinInet trusts too.
// Nothing is kept between processes: the prefix's registry gets no copy of
// the roots (no key "SystemCertificates/Root/Certificates" appears under
// HKLM's Microsoft key), and a process started outside the namespace
// against the same running wineserver refuses the good host (WinInet error
// 12057, its word for an unknown authority) while one inside accepts it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "FetchTestSupport.h"
#include "TestSupport.h"
#include "fetch/OldHttpGet.h"
#include "fetch/SubjectFetch.h"

namespace vek {
namespace {

const std::string TlsName = "boards.vek.test";

// Expected words of the refusal in the HTTP library's own text.
#ifdef _WIN32
const char* const OtherNameWords = "12038";
const char* const ExpiredWords = "12037";
#else
const char* const OtherNameWords = "subject name";
const char* const ExpiredWords = "expired";
#endif

// Debian's tinyproxy on loopback, connecting by itself: https goes through it
// as a CONNECT tunnel. Started in the same namespace, it knows boards.vek.test.
class TunnelProxy {
 public:
  TunnelProxy() {
    DirUnix = std::string(VEK_BINARY_DIR) + "/tinyproxy-" + test::UniqueName("tls");
    std::filesystem::create_directories(test::LocalPath(DirUnix));
    Child.Start({"/bin/bash", test::SourceDir() + "/tests/fetch/tinyproxy.sh", DirUnix});
    for (int i = 0; i < 300 && !test::Exists(File("port")) && !test::Exists(File("problem")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string port = test::ReadFile(File("port"));
    if (!port.empty()) Address = "127.0.0.1:" + port.substr(0, port.find('\n'));
  }
  ~TunnelProxy() {
    std::error_code ec;
    std::filesystem::remove(File("port"), ec);  // tinyproxy.sh stops it then
    Child.Wait();
    std::filesystem::remove_all(test::LocalPath(DirUnix), ec);
  }
  std::string File(const std::string& name) const {
    return (std::filesystem::path(test::LocalPath(DirUnix)) / name).string();
  }
  std::string Address;  // empty when it did not start; File("problem") says why

 private:
  std::string DirUnix;
  test::NativeProcess Child;
};

const std::string List = "1000000002.dat<>second (7)\n1000000001.dat<>first (5)\n";
const std::string Stored = "1000000001.dat<>first (5)\r\n1000000002.dat<>second (7)\r\n";
const std::string Previous = "1000000009.dat<>the previous list (1)\r\n";

class HttpsTest : public ::testing::Test {
 protected:
  // One board server for the suite: hosts on 127.0.0.1 (the address
  // boards.vek.test has), each on a port of its own; every one but "a"
  // speaks TLS with its certificate from the authority's directory.
  static void SetUpTestSuite() {
    const char* tlsDir = std::getenv("VEK_TLS_DIR");
    if (tlsDir && *tlsDir)
      Server = std::make_unique<test::BoardServerProcess>(std::vector<std::string>{"a", "good", "old", "other"},
                                                          std::vector<std::string>{"--single-address", "--tls", tlsDir});
  }
  static void TearDownTestSuite() { Server.reset(); }
  void SetUp() override {
    if (!Server) GTEST_SKIP() << "run by tests/fetch/tls.sh (the https test), which makes the authority";
    ASSERT_TRUE(Server->Running()) << Server->Problem();
  }

  static std::string Url(const char* scheme, const std::string& host, const std::string& board) {
    std::string address = Server->Address(host);
    return std::string(scheme) + "://" + TlsName + address.substr(address.find(':')) + "/" + board + "/subject.txt";
  }
  std::string Cache(const std::string& boardUrl) const { return Dir.Path() + SubjectCacheName(boardUrl) + ".txt"; }
  bool Fetch(const std::string& url) { return FetchSubject(Getter, Settings, Dir.Path(), platform::TEnv::Default(), nullptr, url); }

  static inline std::unique_ptr<test::BoardServerProcess> Server;
  test::TempDir Dir;
  TFetchSettings Settings;
  THttpGet Getter;
};

TEST_F(HttpsTest, ABoardOverHttpsAndOneThatMovedThereWithA301) {
  // Stored like any other board, the previous list replaced.
  Server->AddBoard("good", "news", List);
  test::WriteFile(Cache(Url("https", "good", "news")), Previous);
  EXPECT_TRUE(Fetch(Url("https", "good", "news"))) << Getter.TlsFailure();
  EXPECT_EQ(test::ReadFile(Cache(Url("https", "good", "news"))), Stored);
  EXPECT_EQ(Server->Requests("/news/subject.txt").size(), 1u);

  // An http board that moved to https for good: stored under its http name.
  Server->AddBoard("good", "moved", List);
  Server->AddBoard("a", "moved", "", "redirect " + Url("https", "good", "moved") + "\nstatus 301\n");
  EXPECT_TRUE(Fetch(Url("http", "a", "moved"))) << Getter.TlsFailure();
  EXPECT_EQ(test::ReadFile(Cache(Url("http", "a", "moved"))), Stored);
  EXPECT_EQ(Server->Requests("/moved/subject.txt").size(), 2u);  // the 301, then the list over TLS
}

// A failed board whose cache stays as it was, no request sent over the
// refused connection, and the library's reason kept for the log line.
TEST_F(HttpsTest, RefusedCertificatesFailTheBoardAndSayWhy) {
  struct Refused {
    const char* what;
    std::string host;
    const char* words;
  } refused[] = {{"a certificate for another name", "other", OtherNameWords},
                 {"an expired certificate", "old", ExpiredWords}};
  for (const Refused& r : refused) {
    std::string board = test::UniqueName("refused");
    Server->AddBoard(r.host, board, List);
    test::WriteFile(Cache(Url("https", r.host, board)), Previous);
    EXPECT_FALSE(Fetch(Url("https", r.host, board))) << r.what;
    EXPECT_EQ(test::ReadFile(Cache(Url("https", r.host, board))), Previous) << r.what;
    EXPECT_TRUE(Server->Requests(board).empty()) << r.what;
    EXPECT_NE(Getter.TlsFailure().find(r.words), std::string::npos) << r.what << ": " << Getter.TlsFailure();
    std::printf("  %-32s refused: %s\n", r.what, Getter.TlsFailure().c_str());
  }
  // The next failure of another kind (a 404 page over https) has no such reason.
  EXPECT_FALSE(Fetch(Url("https", "good", "missing")));
  EXPECT_EQ(Getter.TlsFailure(), "");
}

// Through the configured proxy: a tunnel, the certificate still checked end
// to end, so another name is refused there too.
TEST_F(HttpsTest, ThroughTheProxyATunnelWithTheCertificateStillChecked) {
  TunnelProxy proxy;
  ASSERT_FALSE(proxy.Address.empty()) << test::ReadFile(proxy.File("problem"));
  Settings.Proxy = proxy.Address;
  Server->AddBoard("good", "proxied", List);
  EXPECT_TRUE(Fetch(Url("https", "good", "proxied"))) << Getter.TlsFailure();
  EXPECT_EQ(test::ReadFile(Cache(Url("https", "good", "proxied"))), Stored);
  const std::string proxyLog = test::ReadFile(proxy.File("tinyproxy.log"));
  std::string address = Server->Address("good");
  EXPECT_NE(proxyLog.find("CONNECT " + TlsName + address.substr(address.find(':'))), std::string::npos) << proxyLog;

  Server->AddBoard("other", "proxied", List);
  test::WriteFile(Cache(Url("https", "other", "proxied")), Previous);
  EXPECT_FALSE(Fetch(Url("https", "other", "proxied")));
  EXPECT_EQ(test::ReadFile(Cache(Url("https", "other", "proxied"))), Previous);
  EXPECT_NE(Getter.TlsFailure().find(OtherNameWords), std::string::npos) << Getter.TlsFailure();
}

// One TLS connection, one handshake, for every board of a host that keeps
// its connections.
TEST_F(HttpsTest, BoardsOfOneHostShareOneConnection) {
  test::BoardServerProcess keeping({"good"}, {"--single-address", "--tls", std::getenv("VEK_TLS_DIR"),
                                              "--keep-alive", "30"});
  ASSERT_TRUE(keeping.Running()) << keeping.Problem();
  THttpGet getter;  // gone before the server, which waits for the connections it keeps
  std::set<std::string> connections;
  for (int i = 0; i < 3; ++i) {
    std::string board = "kept" + std::to_string(i);
    keeping.AddBoard("good", board, List);
    std::string address = keeping.Address("good");
    std::string url = "https://" + TlsName + address.substr(address.find(':')) + "/" + board + "/subject.txt";
    EXPECT_TRUE(FetchSubject(getter, Settings, Dir.Path(), platform::TEnv::Default(), nullptr, url)) << getter.TlsFailure();
    EXPECT_EQ(test::ReadFile(Cache(url)), Stored);
    std::vector<std::string> lines = keeping.RequestLines("good GET /" + board + "/");
    ASSERT_EQ(lines.size(), 1u);
    connections.insert(lines[0].substr(lines[0].rfind('~')));
  }
  EXPECT_EQ(connections.size(), 1u);
}

}  // namespace
}  // namespace vek
