// The configured proxy against a real one (Debian's tinyproxy on loopback),
// with the environment's proxy variables set as desktops and CI systems set
// them: with a proxy configured every request goes through it, without one
// every request goes straight to the board server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "FetchTestSupport.h"
#include "TestSupport.h"
#include "fetch/OldHttpGet.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vek {
namespace {

using test::SharedBoardServer;

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value);
  _putenv_s(name, value ? value : "");
#else
  if (value) setenv(name, value, 1);
  else unsetenv(name);
#endif
}

// tinyproxy, handing every request on to the board server's own proxy (the
// only way to reach the host names of the test).
class TinyProxy {
 public:
  TinyProxy() {
    DirUnix = std::string(VEK_BINARY_DIR) + "/tinyproxy-" + test::UniqueName("run");
    DirLocal = test::LocalPath(DirUnix);
    std::error_code ec;
    std::filesystem::remove_all(DirLocal, ec);
    std::filesystem::create_directories(DirLocal);
    Child.Start({"/bin/bash", test::SourceDir() + "/tests/fetch/tinyproxy.sh", DirUnix,
                 SharedBoardServer().ProxyAddress()});
    for (int i = 0; i < 300 && !test::Exists(File("port")) && !test::Exists(File("problem")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string port = test::ReadFile(File("port"));
    if (!port.empty()) Address = "127.0.0.1:" + port.substr(0, port.find('\n'));
  }
  ~TinyProxy() {
    std::error_code ec;
    std::filesystem::remove(File("port"), ec);
    Child.Wait();
    std::filesystem::remove_all(DirLocal, ec);
  }
  std::string File(const std::string& name) const { return (std::filesystem::path(DirLocal) / name).string(); }
  std::string Problem() const { return test::ReadFile(File("problem")); }

  std::string Address;

 private:
  std::string DirUnix, DirLocal;
  test::NativeProcess Child;
};

std::string Download(const std::string& url, const std::string& proxy) {
  THttpGet getter;
  getter.Start(url, "Monazilla/1.00 (VEK/3.14.0)", proxy);
  while (!getter.WaitIdle(100)) {
  }
  return getter.ResponseStream();
}

TEST(ProxyEnvironmentTest, TheConfiguredProxyOrNoneWhateverTheEnvironmentSays) {
  if (!test::BoardServerUp()) return;
  TinyProxy tiny;
  ASSERT_FALSE(tiny.Address.empty()) << tiny.Problem();
  const std::string list = test::RealFixture("subject-a.txt");
  const std::string deadProxy = "http://127.0.0.1:1";
  const std::string tinyUrl = "http://" + tiny.Address;
  struct Case {
    const char* name;
    std::string value;
  } cases[] = {
      {"NO_PROXY", "*"},
      {"no_proxy", "*"},
      {"NO_PROXY", "127.0.0.1,127.0.0.2,127.0.0.3,b,localhost"},
      {"http_proxy", deadProxy},
      {"ALL_PROXY", deadProxy},
      {"http_proxy", tinyUrl},
      {"ALL_PROXY", tinyUrl},
  };
  for (const Case& c : cases) {
    SetEnvironment(c.name, c.value.c_str());
    // "a" resolves only in the board server's proxy, which tinyproxy hands on to.
    std::string proxied = test::UniqueName("proxied");
    SharedBoardServer().AddBoard("a", proxied, list);
    EXPECT_EQ(Download("http://a/" + proxied + "/subject.txt", tiny.Address), list) << c.name << "=" << c.value;
    auto heads = SharedBoardServer().Requests(proxied);
    ASSERT_EQ(heads.size(), 1u) << c.name << "=" << c.value;
    EXPECT_NE(heads[0].find("tinyproxy"), std::string::npos) << "not through tinyproxy: " << heads[0];

    // No proxy configured: straight to the server, never through the environment's.
    std::string direct = test::UniqueName("direct");
    SharedBoardServer().AddBoard("a", direct, list);
    EXPECT_EQ(Download(SharedBoardServer().Url("a", direct), ""), list) << c.name << "=" << c.value;
    heads = SharedBoardServer().Requests(direct);
    ASSERT_EQ(heads.size(), 1u) << c.name << "=" << c.value;
    EXPECT_EQ(heads[0].find("tinyproxy"), std::string::npos) << "through a proxy: " << heads[0];
    EXPECT_EQ(heads[0].rfind("GET /" + direct + "/", 0), 0u) << heads[0];
    SetEnvironment(c.name, nullptr);
  }
}

}  // namespace
}  // namespace vek
