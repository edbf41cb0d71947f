// The commands that act on the host browser itself. The log backup runs
// natively and on the Windows build alike; closing and starting the host
// browser around a check needs Windows, so those scenarios run only on the
// Windows build under Wine, against a stand-in host browser that records
// what it is asked to do (tests/e2e/fake_host).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "ScenarioSupport.h"
#include "platform/Console.h"

namespace vek::e2e {
namespace {

namespace fs = std::filesystem;

// The program's messages reach a pipe in UTF-8 natively and in code page 932
// from the Windows build.
bool OutputHas(const TProcessResult& r, const std::string& cp932) {
  return r.Output.find(cp932) != std::string::npos || r.Output.find(platform::Cp932ToUtf8(cp932)) != std::string::npos;
}

// ------------------------------------------------------------------ backup

class BackupScenario : public TScenario {
 protected:
  void SetUp() override {
    TScenario::SetUp();
    if (IsSkipped()) return;
    Name = "backup";
    WriteSettings();
  }

  static std::string Path(const std::string& board, const std::string& key) {
    return "board.example\\" + board + "\\" + key + ".idx";
  }
  // A thread's index with these flags and, when withDat, its log.
  void Thread(const std::string& board, const std::string& key, const std::string& flags, bool withDat) {
    TIndexRecord r;
    r.Flags = flags;
    r.Title = "スレ" + key;
    r.Host = "board.example";
    r.Board = board;
    r.Key = key;
    r.ServerCount = r.LocalCount = "3";
    WriteIndex(Path(board, key), r);
    if (withDat) test::WriteFile(HostDir() + "log/board.example/" + board + "/" + key + ".dat", "名無し<><>2026/11/30<>本文<>スレ\n");
  }
};

TEST_F(BackupScenario, FallenThreadsMoveUnderBacklogAndLaterStopsLeaveEarlierMoves) {
  Thread("news", "1000000001", "48", true);    // fallen: moves with its log
  Thread("news", "1000000002", "32", true);    // not fallen: stays
  Thread("old", "1000000003", "48", false);    // fallen without a log: the index moves alone
  TIndexRecord escape;
  escape.Flags = "48";
  WriteHostFile("escape.idx", escape.Text());
  const std::string favorite = Path("news", "1000000001") + "\r\n" + Path("news", "1000000002") + "\r\n\r\n" +
                               Path("old", "1000000003") + "\r\n" + Path("news", "1000000009") + "\r\n" +
                               "..\\escape.idx\r\n";
  WriteHostFile("favorite.idx", favorite);

  TProcessResult r = Vek("backup");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_TRUE(OutputHas(r, "Refused thread path outside the log directory: ..\\escape.idx")) << r.Output;
  ExpectStep("1-backup");

  // Straight again: the moved threads are passed over, nothing changes.
  r = Vek("backup");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  ExpectStep("1-backup");

  // A flags field that is not a number stops the backup there; the thread
  // before it has moved, the one after it has not.
  Thread("news", "1000000004", "48", true);
  Thread("news", "1000000005", "abc", true);
  Thread("news", "1000000006", "48", true);
  WriteHostFile("favorite.idx", favorite + Path("news", "1000000004") + "\r\n" + Path("news", "1000000005") + "\r\n" +
                                    Path("news", "1000000006") + "\r\n");
  r = Vek("backup");
  EXPECT_EQ(r.ExitCode, 1) << r.Output;
  EXPECT_TRUE(OutputHas(r, "ERROR: 'abc' は整数ではありません\n") || OutputHas(r, "ERROR: 'abc' は整数ではありません\r\n"))
      << r.Output;
  ExpectStep("2-stopped");
}

// ------------------------------------------------ host browser under Wine

// Waits (at most 30 s) until the stand-in's record holds the line.
bool WaitForRecord(const std::string& record, const std::string& line) {
  for (int i = 0; i < 600; ++i) {
    if (("\n" + test::ReadFile(record)).find("\n" + line + "\n") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

class HostBrowserScenario : public TScenario {
 protected:
  void SetUp() override {
    TScenario::SetUp();
    if (IsSkipped()) return;
    // Built in the same tree as vekc.exe, unless named.
    const char* named = std::getenv("VEK_E2E_FAKE_HOST");
    FakeHost = named && *named ? named
                               : (fs::path(Program.Exe).parent_path() / "tests/e2e/fake_host_browser.exe").string();
    if (!Program.Wine || !fs::is_regular_file(FakeHost))
      GTEST_SKIP() << "needs the Windows build under Wine and the stand-in host browser " << FakeHost;
    TIndexRecord r;
    r.Title = "見ているスレ";
    r.Host = H1Url();
    r.Board = "news";
    r.Key = "1000000001";
    r.ServerCount = r.LocalCount = "3";
    WriteIndex(H1() + "\\news\\1000000001.idx", r);
    WriteHostFile("favorite.idx", H1() + "\\news\\1000000001.idx\r\n");
    Server.Put("/news/subject.txt", "1000000001.dat<>見ているスレ (5)\n");
    WriteSettings("AutoDorFin=1\r\nAutoDorRun=1\r\n");
  }

  // A copy of the stand-in at dir/name; its record is beside it.
  std::string PlaceFakeHost(const std::string& dir, const std::string& name) {
    fs::create_directories(dir);
    fs::copy_file(FakeHost, dir + name, fs::copy_options::overwrite_existing);
    return dir + name;
  }

  std::string FakeHost;
};

TEST_F(HostBrowserScenario, ClosedBeforeTheFirstDownloadAndStartedAfterTheRun) {
  // The host browser's window is open when the check starts, and neither of
  // its programs is in the host directory.
  const std::string window = PlaceFakeHost(Root.Path() + "window/", "Dorvella.exe");
  TBackgroundProgram running(window, {});
  ASSERT_TRUE(WaitForRecord(window + ".log", "ready"))
      << "(Wine creates windows only with an X server)\n" << test::ReadFile(window + ".log");

  std::atomic<int> requests{0};
  std::atomic<bool> closedAtFirstRequest{false};
  std::atomic<bool> startedDuringDownloads{false};
  Server.OnRequest([&](const std::string&) {
    if (requests++ == 0) closedAtFirstRequest = test::ReadFile(window + ".log").find("\nclose\n") != std::string::npos;
    if (test::Exists(HostDir() + "mirl.exe.log")) startedDuringDownloads = true;
  });
  WaitPastGuard();
  TProcessResult r = Vek("check");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(closedAtFirstRequest) << test::ReadFile(window + ".log");
  EXPECT_TRUE(running.Ended(20)) << "the window closed but its program did not end";
  EXPECT_TRUE(WaitForRecord(window + ".log", "exit"));
  EXPECT_FALSE(OutputHas(r, "ERROR")) << r.Output;

  // Now no window is open (nothing to close), and both programs are there:
  // "mirl.exe" is the one started, in the host directory, once the run has
  // written its new-arrival list.
  const std::string mirl = PlaceFakeHost(HostDir(), "mirl.exe");
  PlaceFakeHost(HostDir(), "Dorvella.exe");
  WaitPastGuard();
  r = Vek("check");
  ASSERT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_EQ(requests, 2);
  ASSERT_TRUE(WaitForRecord(mirl + ".log", "ready")) << test::ReadFile(mirl + ".log");
  std::string hostDir = Program.DirArg(HostDir());
  hostDir.pop_back();
  const std::string record = test::ReadFile(mirl + ".log");
  EXPECT_EQ(record.rfind("start cwd=" + hostDir + " show=10 files=", 0), 0u) << record;
  EXPECT_NE(record.find("$$$$$$$$.idx"), std::string::npos) << record;
  EXPECT_FALSE(startedDuringDownloads);
  EXPECT_FALSE(test::Exists(HostDir() + "Dorvella.exe.log"));
  test::WriteFile(mirl + ".stop", "");
  EXPECT_TRUE(WaitForRecord(mirl + ".log", "exit"));
}

}  // namespace
}  // namespace vek::e2e
