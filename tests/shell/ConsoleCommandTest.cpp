// The vek command from the outside: exit statuses, the log on standard
// output in the terminal's encoding, and the files an exit leaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "../check/FormTestSupport.h"
#include "platform/Console.h"

namespace vek::test {
namespace {

#ifndef _WIN32

struct TOutput {
  int Status = -1;
  std::string Stdout;  // UTF-8, as the terminal gets it
};

// Standard error is dropped unless withStderr, when it joins standard output.
TOutput RunVek(const std::string& args, bool withStderr = false) {
  TOutput out;
  FILE* pipe = ::popen((BinaryDir() + "/vek " + args + (withStderr ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.Stdout.append(buffer, n);
  const int status = ::pclose(pipe);
  out.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

class ConsoleCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(BinaryDir() + "/vek")) GTEST_SKIP() << "vek is not built";
  }
  TempDir Dir;
};

TEST_F(ConsoleCommand, RefusedCheckExitsWithTheReasonAndSavesTheLog) {
  const TOutput out = RunVek("--dir " + Dir.Path() + " check");
  EXPECT_EQ(out.Status, 2);
  EXPECT_NE(out.Stdout.find(platform::Cp932ToUtf8("ERROR: Dorvellaのディレクトリが設定されていません") + "\n"),
            std::string::npos);
  const std::string log = ReadFile(Dir / "veklog.txt");
  EXPECT_EQ(log.rfind("Monazilla/1.00 (VEK/3.14.0)\r\n", 0), 0u);
  EXPECT_NE(log.find("ERROR: Dorvellaのディレクトリが設定されていません\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(Exists(Dir / "vek.ini"));
  EXPECT_TRUE(Exists(Dir / "subject_list.txt"));
}

TEST_F(ConsoleCommand, CheckRunsAndConfigReports) {
  WriteFile(Dir / "host\\log\\.keep", "");
  WriteFile(Dir / "vek.ini", "[dorvella]\r\nDirectory=" + Dir.Path() + "host/\r\n");
  SetFileWriteTime(Dir / "vek.ini", TimeOfSeconds(1000000000));
  EXPECT_EQ(RunVek("--dir " + Dir.Path() + " check").Status, 0);
  EXPECT_EQ(ReadFile(Dir / "host\\$$$$$$$$.idx"), "localhost\\vek\\1000000000.idx\r\n");
  // Straight after a run the pause applies.
  EXPECT_EQ(RunVek("--dir " + Dir.Path() + " check").Status, 2);
  const TOutput config = RunVek("--dir " + Dir.Path() + " config");
  EXPECT_EQ(config.Status, 0);
  EXPECT_NE(config.Stdout.find("\nConfigurations\n  AppPath: "), std::string::npos);
}

TEST_F(ConsoleCommand, HostBrowserSettingsAreReportedUnavailableOnceAndTheCheckGoesOn) {
  WriteFile(Dir / "host\\log\\.keep", "");
  WriteFile(Dir / "host\\mirl.exe", "");
  WriteFile(Dir / "vek.ini", "[dorvella]\r\nDirectory=" + Dir.Path() + "host/\r\n[VEK]\r\nAutoDorFin=1\r\nAutoDorRun=1\r\n");
  SetFileWriteTime(Dir / "vek.ini", TimeOfSeconds(1000000000));
  const TOutput out = RunVek("--dir " + Dir.Path() + " check", true);
  EXPECT_EQ(out.Status, 0) << out.Stdout;
  const size_t notice = out.Stdout.find("the host browser is a Windows program");
  ASSERT_NE(notice, std::string::npos) << out.Stdout;
  EXPECT_EQ(out.Stdout.find("the host browser is a Windows program", notice + 1), std::string::npos);
  EXPECT_LT(notice, out.Stdout.find("***** Start!! *****"));
  EXPECT_NE(out.Stdout.find("***** Done!! *****"), std::string::npos);
}

TEST_F(ConsoleCommand, UsageErrorsAndHelp) {
  EXPECT_EQ(RunVek("").Status, 64);
  EXPECT_EQ(RunVek("config --wait").Status, 64);
  EXPECT_EQ(RunVek("init-report --mark-fallen").Status, 64);
  EXPECT_EQ(RunVek("--mark-fallen").Status, 64);
  EXPECT_EQ(RunVek("frobnicate").Status, 64);
  EXPECT_EQ(RunVek("backup --wait").Status, 64);
  const TOutput help = RunVek("--help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Stdout.find("check --wait"), std::string::npos);
  EXPECT_NE(help.Stdout.find("check --mark-fallen"), std::string::npos);
  EXPECT_NE(help.Stdout.find("\n  backup "), std::string::npos);
  // The menu item's name reaches the terminal in its encoding.
  EXPECT_NE(help.Stdout.find(platform::Cp932ToUtf8("\"DAT 落ちをマークする\"")), std::string::npos);
}

#endif

}  // namespace
}  // namespace vek::test
