// Boards over real https. tests/fetch/tls.sh (CTest's "https" test) runs this
// program in a private mount namespace whose system CA bundle holds nothing
// but a private test authority, and whose /etc/hosts knows boards.vek.test;
// the loopback board server serves three hosts over TLS with certificates
// from that authority. The program itself is not told about any of it: it
// trusts what the system trusts, as it does for a user.
//
// Windows build under Wine 8: WinInet verifies the server's chain through
// crypt32, whose root store is filled from the host's bundle, read from the
// first of Wine's known places that holds certificates
// (/etc/ssl/certs/ca-certificates.crt on Debian: the same file libcurl
// uses), so the bind-mounted authority is what WinInet trusts too. crypt32
// also copies those roots into the prefix's registry (HKLM\Software\Microsoft\SystemCertificates\Root)
// and brings that copy in line with the
// host's bundle when a process first opens the root store.
#include <gtest/gtest.h>

#include <cstdlib>

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
}

}  // namespace
}  // namespace vek
