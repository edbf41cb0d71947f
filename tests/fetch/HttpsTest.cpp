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

std::string Port(const test::BoardServerProcess& server, const std::string& host) {
  std::string address = server.Address(host);
  return address.substr(address.find(':') + 1);
}

TEST(HttpsTest, TrustedBoardsAndRefusedCertificates) {
  const char* tlsDir = std::getenv("VEK_TLS_DIR");
  if (!tlsDir || !*tlsDir) GTEST_SKIP() << "run by tests/fetch/tls.sh (the https test), which makes the authority";
  // Hosts on 127.0.0.1 (the address boards.vek.test has), each on a port of
  // its own; every one but "a" speaks TLS with its certificate from tlsDir.
  test::BoardServerProcess server({"a", "good", "old", "other"}, {"--single-address", "--tls", tlsDir});
  ASSERT_TRUE(server.Running()) << server.Problem();
  test::TempDir dir;
  TFetchSettings settings;
  settings.SbjPath = dir.Path();
  THttpGet getter;
  const std::string list = "1000000002.dat<>second (7)\n1000000001.dat<>first (5)\n";
  const std::string stored = "1000000001.dat<>first (5)\r\n1000000002.dat<>second (7)\r\n";
  const std::string previous = "1000000009.dat<>the previous list (1)\r\n";
  auto url = [&](const char* scheme, const std::string& host, const std::string& board) {
    return std::string(scheme) + "://" + TlsName + ":" + Port(server, host) + "/" + board + "/subject.txt";
  };
  auto cache = [&](const std::string& boardUrl) { return dir.Path() + SubjectCacheName(boardUrl) + ".txt"; };

  // A board over https: stored like any other, the previous list replaced.
  server.AddBoard("good", "news", list);
  test::WriteFile(cache(url("https", "good", "news")), previous);
  EXPECT_TRUE(FetchSubject(getter, settings, nullptr, url("https", "good", "news"))) << getter.TlsFailure();
  EXPECT_EQ(test::ReadFile(cache(url("https", "good", "news"))), stored);
  EXPECT_EQ(server.Requests("/news/subject.txt").size(), 1u);

  // An http board that moved to https for good: stored under its http name.
  server.AddBoard("good", "moved", list);
  server.AddBoard("a", "moved", "", "redirect " + url("https", "good", "moved") + "\nstatus 301\n");
  EXPECT_TRUE(FetchSubject(getter, settings, nullptr, url("http", "a", "moved"))) << getter.TlsFailure();
  EXPECT_EQ(test::ReadFile(cache(url("http", "a", "moved"))), stored);
  EXPECT_EQ(server.Requests("/moved/subject.txt").size(), 2u);  // the 301, then the list over TLS

  // Certificates the system refuses: a failed board whose cache stays as it
  // was, no request sent, and the library's reason kept for the log.
  struct Refused {
    const char* what;
    std::string host;
    const char* words;
  } refused[] = {{"a certificate for another name", "other", OtherNameWords},
                 {"an expired certificate", "old", ExpiredWords}};
  for (const Refused& r : refused) {
    std::string board = test::UniqueName("refused");
    server.AddBoard(r.host, board, list);
    test::WriteFile(cache(url("https", r.host, board)), previous);
    EXPECT_FALSE(FetchSubject(getter, settings, nullptr, url("https", r.host, board))) << r.what;
    EXPECT_EQ(test::ReadFile(cache(url("https", r.host, board))), previous) << r.what;
    EXPECT_TRUE(server.Requests(board).empty()) << r.what;
    EXPECT_NE(getter.TlsFailure().find(r.words), std::string::npos) << r.what << ": " << getter.TlsFailure();
    std::printf("  %-32s refused: %s\n", r.what, getter.TlsFailure().c_str());
  }
  // The next failure of another kind (a 404 page over https) has no such reason.
  EXPECT_FALSE(FetchSubject(getter, settings, nullptr, url("https", "good", "missing")));
  EXPECT_EQ(getter.TlsFailure(), "");

  // Through the configured proxy: a tunnel, the certificate still checked
  // end to end, so the other name is refused there too.
  TunnelProxy proxy;
  ASSERT_FALSE(proxy.Address.empty()) << test::ReadFile(proxy.File("problem"));
  settings.Proxy = proxy.Address;
  server.AddBoard("good", "proxied", list);
  EXPECT_TRUE(FetchSubject(getter, settings, nullptr, url("https", "good", "proxied"))) << getter.TlsFailure();
  EXPECT_EQ(test::ReadFile(cache(url("https", "good", "proxied"))), stored);
  const std::string proxyLog = test::ReadFile(proxy.File("tinyproxy.log"));
  EXPECT_NE(proxyLog.find("CONNECT " + TlsName + ":" + Port(server, "good")), std::string::npos) << proxyLog;
  server.AddBoard("other", "proxied", list);
  test::WriteFile(cache(url("https", "other", "proxied")), previous);
  EXPECT_FALSE(FetchSubject(getter, settings, nullptr, url("https", "other", "proxied")));
  EXPECT_EQ(test::ReadFile(cache(url("https", "other", "proxied"))), previous);
  EXPECT_NE(getter.TlsFailure().find(OtherNameWords), std::string::npos) << getter.TlsFailure();
}

}  // namespace
}  // namespace vek
