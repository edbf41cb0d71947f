// The vek command from the outside: exit statuses, the log on standard
// output in the terminal's encoding, and the files an exit leaves.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "../check/FormTestSupport.h"
#include "platform/Console.h"
#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/UserPaths.h"
#include "shell/Settings.h"

namespace vek::test {
namespace {

#ifndef _WIN32

struct TOutput {
  int Status = -1;
  std::string Stdout;  // UTF-8, as the terminal gets it
  std::string Stderr;
};

// env: assignments put before the command ("VEK_DIR=... ").
TOutput RunVek(const std::string& args, const std::string& env = "") {
  TOutput out;
  const std::string errFile = std::filesystem::temp_directory_path() / ("vek-test-stderr-" + std::to_string(::getpid()));
  FILE* pipe = ::popen((env + BinaryDir() + "/vek " + args + " 2>" + errFile).c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.Stdout.append(buffer, n);
  const int status = ::pclose(pipe);
  out.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  out.Stderr = ReadFile(errFile);
  std::filesystem::remove(errFile);
  return out;
}

int64_t Seconds(const std::string& path) {
  platform::SystemTime t;
  EXPECT_TRUE(platform::GetWriteTimeByPath(path, t));
  return SystemTimeToSeconds(t);
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
  // One added line says how to set the host directory.
  EXPECT_NE(out.Stderr.find("vek: set the host browser's folder first: vek --dir " + Dir.Path() +
                            " config dorvella.Directory FOLDER\n"),
            std::string::npos)
      << out.Stderr;
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
  // Every path the user reads is in the system's form, on the terminal and
  // in veklog.txt alike.
  const std::string host = Dir.Path() + "host/";
  EXPECT_NE(config.Stdout.find("\nConfigurations\n  AppPath: " + Dir.Path() + "\n  DorPath: " + host +
                               "\n  SbjPath: " + Dir.Path() + "subject/\n  LogPath: " + host + "log/\n"),
            std::string::npos)
      << config.Stdout;
  EXPECT_NE(ReadFile(Dir / "veklog.txt").find("  IniFileName: " + Dir.Path() + "vek.ini\r\n"), std::string::npos);
  EXPECT_EQ(config.Stdout.find('\\'), std::string::npos);
}

TEST_F(ConsoleCommand, HostBrowserSettingsAreReportedUnavailableOnceAndTheCheckGoesOn) {
  WriteFile(Dir / "host\\log\\.keep", "");
  WriteFile(Dir / "host\\mirl.exe", "");
  WriteFile(Dir / "vek.ini", "[dorvella]\r\nDirectory=" + Dir.Path() + "host/\r\n[VEK]\r\nAutoDorFin=1\r\nAutoDorRun=1\r\n");
  SetFileWriteTime(Dir / "vek.ini", TimeOfSeconds(1000000000));
  const TOutput out = RunVek("--dir " + Dir.Path() + " check");
  EXPECT_EQ(out.Status, 0) << out.Stdout << out.Stderr;
  const size_t notice = out.Stderr.find("the host browser is a Windows program");
  ASSERT_NE(notice, std::string::npos) << out.Stderr;
  EXPECT_EQ(out.Stderr.find("the host browser is a Windows program", notice + 1), std::string::npos);
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
  const TOutput version = RunVek("--version");
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Stdout, "vek 3.14.0\n");
  EXPECT_EQ(RunVek("config --list x").Status, 64);
  EXPECT_EQ(RunVek("config a b c").Status, 64);
}

TEST_F(ConsoleCommand, ConfigListsGetsAndSetsInTheFileItFinds) {
  const std::string ini = Dir / "vek.ini";
  const std::string dirArg = "--dir " + Dir.Path() + " ";
  // Nothing there: every setting with its default, and no file made.
  const TOutput list = RunVek(dirArg + "config --list");
  EXPECT_EQ(list.Status, 0);
  EXPECT_EQ(static_cast<size_t>(std::count(list.Stdout.begin(), list.Stdout.end(), '\n')), SettingsTable().size());
  EXPECT_EQ(list.Stdout.rfind("dorvella.Directory=\nVEK.Proxy=\nVEK.AutoStart=0\n", 0), 0u);
  EXPECT_NE(list.Stdout.find("\nVEK.TimeOutTime=15\n"), std::string::npos);
  EXPECT_NE(list.Stdout.find("\nWindow.State=Normal\n"), std::string::npos);
  EXPECT_FALSE(Exists(ini));

  // A file made by setting a value does not count as a check just ended.
  EXPECT_EQ(RunVek(dirArg + "config vek.greedycheck off").Status, 0);
  EXPECT_LT(Seconds(ini), 400000000);
  EXPECT_EQ(RunVek(dirArg + "config VEK.GreedyCheck").Stdout, "0\n");

  // The other keys, their order and the time stamp stay as they were.
  WriteFile(ini, "[VEK]\r\nProxy=p:1\r\nUnknown=kept\r\nTimeOutTime=9\r\n[Window]\r\nTop=5\r\n");
  SetFileWriteTime(ini, TimeOfSeconds(1500000000));
  EXPECT_EQ(RunVek(dirArg + "config VEK.TimeOutTime 0x1E").Status, 0);
  EXPECT_EQ(ReadFile(ini), "[VEK]\r\nProxy=p:1\r\nUnknown=kept\r\nTimeOutTime=30\r\n[Window]\r\nTop=5\r\n");
  EXPECT_EQ(Seconds(ini), 1500000000);
  EXPECT_EQ(RunVek(dirArg + "config Window.State Maximized").Status, 0);
  EXPECT_NE(RunVek(dirArg + "config --list").Stdout.find("\nVEK.TimeOutTime=30\n"), std::string::npos);

  // The host directory: made absolute, stored in the program's own form,
  // shown in the system's; a folder that looks like no host browser's warns.
  WriteFile(Dir / "host\\favorite.idx", "");
  const TOutput set = RunVek(dirArg + "config dorvella.Directory " + Dir.Path() + "host/../host");
  EXPECT_EQ(set.Status, 0);
  EXPECT_EQ(set.Stderr, "");
  EXPECT_EQ(platform::IniReadString(ini, "dorvella", "Directory", ""), platform::AbsolutePath(Dir / "host\\"));
  EXPECT_EQ(RunVek(dirArg + "config dorvella.Directory").Stdout, Dir.Path() + "host/\n");
  std::filesystem::create_directory(Dir / "empty");
  const TOutput empty = RunVek(dirArg + "config dorvella.Directory " + (Dir / "empty"));
  EXPECT_EQ(empty.Status, 0);
  EXPECT_NE(empty.Stderr.find("warning: " + Dir.Path() + "empty/ holds no thread list file (*.idx)"),
            std::string::npos);
  EXPECT_EQ(Seconds(ini), 1500000000);
}

TEST_F(ConsoleCommand, ConfigRefusalsLeaveTheFileAlone) {
  const std::string ini = Dir / "vek.ini";
  const std::string dirArg = "--dir " + Dir.Path() + " ";
  const std::string original = "[VEK]\r\nTimeOutTime=9\r\n";
  WriteFile(ini, original);
  struct TCase {
    std::string Args, Message;
  };
  for (const TCase& c : std::vector<TCase>{
           {"config VEK.NoSuchKey 1", "vek: no setting named \"VEK.NoSuchKey\""},
           {"config TimeOutTime", "vek: no setting named \"TimeOutTime\""},
           {"config VEK.TimeOutTime abc", "vek: VEK.TimeOutTime accepts a whole number of 1 or more, not \"abc\""},
           {"config VEK.TimeOutTime 0", "accepts a whole number of 1 or more"},
           {"config VEK.AutoStart maybe", "vek: VEK.AutoStart accepts 1 or 0"},
           {"config Window.State Minimized", "vek: Window.State accepts Normal or Maximized"},
           {"config VEK.NewIdxName sub/new.idx", "vek: VEK.NewIdxName accepts a file name ending in .idx"},
           {"config dorvella.Directory " + Dir.Path() + "none", "accepts an existing folder; " + Dir.Path() + "none/ is none"},
       }) {
    const TOutput out = RunVek(dirArg + c.Args);
    EXPECT_EQ(out.Status, 1) << c.Args;
    EXPECT_NE(out.Stderr.find(c.Message), std::string::npos) << c.Args << ": " << out.Stderr;
  }
  EXPECT_EQ(ReadFile(ini), original);

  // A running VEK holds the file between checks.
  platform::FileHandle lock = platform::OpenNoShare(ini);
  ASSERT_NE(lock, 0);
  for (const char* args : {"config VEK.TimeOutTime 20", "config VEK.TimeOutTime", "config --list"}) {
    const TOutput held = RunVek(dirArg + args);
    EXPECT_EQ(held.Status, 1) << args;
    EXPECT_NE(held.Stderr.find(Dir.Path() + "vek.ini is held by a running VEK"), std::string::npos) << held.Stderr;
  }
  platform::CloseHandle(lock);

  ASSERT_TRUE(platform::SetReadOnly(ini, true));
  const TOutput readOnly = RunVek(dirArg + "config VEK.TimeOutTime 20");
  EXPECT_EQ(readOnly.Status, 1);
  EXPECT_NE(readOnly.Stderr.find(Dir.Path() + "vek.ini is read-only; VEK.TimeOutTime was not changed"),
            std::string::npos);
  EXPECT_EQ(RunVek(dirArg + "config VEK.TimeOutTime").Stdout, "9\n");
  platform::SetReadOnly(ini, false);
  EXPECT_EQ(ReadFile(ini), original);
}

// Without --dir: VEK_DIR, then the executable's folder for a copy of its own,
// ~/.config/vek for an installed program or one in a folder it cannot write
// (the paths given to the rule in either separator).
TEST_F(ConsoleCommand, ProgramDirectoryWithoutDir) {
  WriteFile(Dir / "env\\vek.ini", "[VEK]\r\nTimeOutTime=42\r\n");
  EXPECT_EQ(RunVek("config VEK.TimeOutTime", "VEK_DIR=" + (Dir / "env") + " ").Stdout, "42\n");
  EXPECT_EQ(RunVek("--dir " + Dir.Path() + " config VEK.TimeOutTime", "VEK_DIR=" + (Dir / "env") + " ").Stdout,
            "15\n");
  using platform::ChooseProgramDirectory;
  EXPECT_EQ(ChooseProgramDirectory("\\opt\\vek\\", true, "", "\\home\\u"), "\\opt\\vek\\");
  EXPECT_EQ(ChooseProgramDirectory("\\opt\\vek\\", false, "", "\\home\\u"), "\\home\\u\\.config\\vek\\");
  EXPECT_EQ(ChooseProgramDirectory("\\usr\\bin\\", true, "", "\\root"), "\\root\\.config\\vek\\");
  EXPECT_EQ(ChooseProgramDirectory("\\usr\\local\\bin\\", true, "\\x\\cfg\\", "\\home\\u"), "\\x\\cfg\\vek\\");
  EXPECT_EQ(ChooseProgramDirectory("\\usr\\bin\\", false, "relative", "\\home\\u\\"), "\\home\\u\\.config\\vek\\");
  EXPECT_EQ(ChooseProgramDirectory("\\usr\\bin\\", true, "/home/表", "/root"), "\\home\\表\\vek\\");
}

#else

// A program folder that cannot be written (under "Program Files", run
// asInvoker) sends the files to %APPDATA%\VEK; a portable folder keeps them.
TEST(ProgramDirectory, AppDataWhenTheProgramFolderIsNotWritable) {
  TempDir dir;
  platform::CreateDirectories(dir / "表\\");
  EXPECT_TRUE(platform::FolderWritable(dir / "表\\"));
  EXPECT_FALSE(platform::FolderWritable("Z:\\proc\\"));  // read-only for everyone (no such folder on Windows)
  EXPECT_TRUE(platform::ListFilesBySuffix(dir / "表\\", ".tmp").empty()) << "the trial file stays";
  using platform::ChooseProgramDirectory;
  const std::string appData = "C:\\Users\\表\\AppData\\Roaming";
  EXPECT_EQ(ChooseProgramDirectory("D:\\vek\\", true, appData, ""), "D:\\vek\\");
  EXPECT_EQ(ChooseProgramDirectory("C:\\Program Files\\VEK\\", false, appData, ""), appData + "\\VEK\\");
  EXPECT_EQ(ChooseProgramDirectory("C:\\Program Files\\VEK\\", false, appData + "\\", ""), appData + "\\VEK\\");
}

#endif

}  // namespace
}  // namespace vek::test
