// The window program under Wine and a headless X server: vek.exe /autostart
// with "AutoShutDown" writes what the headless command writes for the same
// input and ends by itself; a second start asks the running one for a check
// (only while it is idle) and shows no window; the window answers other
// programs while a board is slow; a write that fails ends the run with every
// control enabled again. Runs when VEK_E2E_GUI_EXE (vek.exe) and
// VEK_E2E_PROBE (vek-probe.exe) are given.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "ScenarioSupport.h"

namespace vek::e2e {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// "key=value" lines of the probe.
std::map<std::string, std::string> Values(const std::string& output) {
  std::map<std::string, std::string> values;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

class GuiRun : public TScenario {
 protected:
  void SetUp() override {
    GuiExe = Env("VEK_E2E_GUI_EXE");
    Probe.Exe = Env("VEK_E2E_PROBE");
    Probe.Wine = true;
    if (GuiExe.empty() || Probe.Exe.empty()) GTEST_SKIP() << "VEK_E2E_GUI_EXE and VEK_E2E_PROBE not given";
    TScenario::SetUp();
  }

  std::string News(const std::string& key) const { return H1() + "\\news\\" + key + ".idx"; }

  // Three watched threads: one with news, one unchanged, one that has fallen.
  void BuildWorld(const std::string& extraSettings, int boardDelayMs) {
    fs::remove_all(HostDir());
    fs::remove_all(ProgDir());
    fs::create_directories(HostDir() + "log");
    fs::create_directories(ProgDir());
    auto rec = [this](const std::string& key, const std::string& title, const std::string& count) {
      TIndexRecord r;
      r.Title = title;
      r.Host = H1Url();
      r.Board = "news";
      r.Key = key;
      r.ServerCount = count;
      r.LocalCount = count;
      return r;
    };
    WriteIndex(News("1000000001"), rec("1000000001", "伸びているスレ", "10"));
    WriteIndex(News("1000000002"), rec("1000000002", "変化なしのスレ", "20"));
    WriteIndex(News("1000000003"), rec("1000000003", "落ちたスレ", "30"));
    WriteHostFile("favorite.idx", News("1000000001") + "\r\n" + News("1000000002") + "\r\n" + News("1000000003") + "\r\n");
    WriteSettings(extraSettings);
    WaitPastGuard();
    Server.Put("/news/subject.txt",
               "1000000004.dat<>新しいスレ (1)\n1000000001.dat<>伸びているスレ (15)\n1000000002.dat<>変化なしのスレ (20)\n",
               false, boardDelayMs);
  }

  // vek.exe in the program directory: that directory is its own.
  std::string InstallGui() {
    const std::string exe = ProgDir() + "vek.exe";
    fs::copy_file(GuiExe, exe, fs::copy_options::overwrite_existing);
    return exe;
  }

  TProcessResult RunProbe(const std::vector<std::string>& args, int timeoutSeconds = 60) {
    return RunProgram(Probe, args, timeoutSeconds);
  }

  // The window's placement differs between the two front-ends by design.
  TTree Snapshot() {
    TTree tree = SnapshotTree(Root.Path(), Mask);
    tree.erase("prog/vek.exe");
    std::regex placement(R"((^|\r\n)(Top|Left|Width|Height)=[^\r]*)");
    for (auto& [name, bytes] : tree)
      if (name == "prog/vek.ini") bytes = std::regex_replace(bytes, placement, "");
    return tree;
  }

  // A probe that waits for a run's caption, started before the program: a
  // short run may be over before a probe started after it looks.
  std::unique_ptr<TBackgroundProgram> WatchForRun() {
    auto watch = std::make_unique<TBackgroundProgram>(Probe.Exe, std::vector<std::string>{"wait-title", "VEK [", "60"});
    std::this_thread::sleep_for(std::chrono::seconds(3));
    return watch;
  }

  std::string GuiExe;
  TProgram Probe;
};

TEST_F(GuiRun, AutostartWritesWhatTheConsoleWritesAndEndsByItself) {
  BuildWorld("AutoShutDown=1\r\nFailedReport=0\r\n", 0);
  TProcessResult console = Vek("check");
  ASSERT_EQ(console.ExitCode, 0) << console.Output;
  const TTree expected = Snapshot();
  ASSERT_NE(expected.at("prog/veklog.txt").find("***** Done!! *****"), std::string::npos);

  BuildWorld("AutoShutDown=1\r\nFailedReport=0\r\n", 0);
  TBackgroundProgram gui(InstallGui(), {"/autostart"});
  ASSERT_EQ(gui.Wait(90), 0) << "vek.exe did not end by itself";
  const std::vector<std::string> differences = CompareTrees(expected, Snapshot());
  for (const std::string& d : differences) ADD_FAILURE() << d;
}

TEST_F(GuiRun, SecondStartAsksForACheckOnlyWhileIdleAndTheWindowKeepsAnswering) {
  BuildWorld("FailedReport=0\r\n", 4000);
  const std::string exe = InstallGui();
  TBackgroundProgram first(exe, {});
  ASSERT_EQ(RunProbe({"wait-visible", "60"}).ExitCode, 0) << "no window";

  // Idle: the second start ends at once without a window, and a run begins
  // about a second later.
  TProcessResult second = RunProbe({"second-start", Program.DirArg(exe), "10"});
  auto v = Values(second.Output);
  ASSERT_EQ(second.ExitCode, 0) << second.Output;
  EXPECT_EQ(v["exit_code"], "0");
  EXPECT_EQ(v["windows"], "0") << second.Output;
  EXPECT_LT(std::stoi(v["exited_ms"]), 5000) << second.Output;
  std::cout << "second start while idle:\n" << second.Output;
  const int runMs = std::stoi(v["run_ms"]);
  EXPECT_GE(runMs, 700) << second.Output;
  EXPECT_LE(runMs, 2500) << second.Output;

  // The run waits on the slow board: the window still answers at once.
  TProcessResult ping = RunProbe({"ping", "10"});
  v = Values(ping.Output);
  ASSERT_EQ(ping.ExitCode, 0) << ping.Output;
  EXPECT_EQ(v["caption"].rfind("VEK [3/7]", 0), 0u) << ping.Output;
  EXPECT_LE(std::stoi(v["max_ms"]), 250) << ping.Output;
  std::cout << "SendMessageTimeout during the slow board:\n" << ping.Output;

  // A second start during the run is dropped.
  second = RunProbe({"second-start", Program.DirArg(exe), "0"});
  v = Values(second.Output);
  EXPECT_EQ(v["windows"], "0") << second.Output;
  EXPECT_LT(std::stoi(v["exited_ms"]), 5000) << second.Output;

  // The run ends; nothing follows it.
  ASSERT_EQ(RunProbe({"wait-idle", "30"}).ExitCode, 0);
  ASSERT_EQ(RunProbe({"wait-title", "VEK [", "3"}).ExitCode, 1) << "a second run began";
  ASSERT_EQ(RunProbe({"close"}).ExitCode, 0);
  ASSERT_EQ(first.Wait(30), 0);
  const std::string log = test::ReadFile(ProgDir() + "veklog.txt");
  std::regex start(R"(\*\*\*\*\* Start!! \*\*\*\*\*)");
  EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), start), std::sregex_iterator()), 1) << log;
  EXPECT_NE(log.find("/news/subject.txt=3 ... done("), std::string::npos) << log;
}

// Two starts at the same moment (a double click on the host browser's update
// button), ten times: one window, and the other start's request gives a run.
TEST_F(GuiRun, TwoStartsAtOnceMakeOneWindowAndOneRun) {
  BuildWorld("FailedReport=0\r\n", 0);
  const std::string exe = InstallGui();
  for (int round = 1; round <= 10; ++round) {
    WaitPastGuard();
    TProcessResult both = RunProbe({"double-start", Program.DirArg(exe)}, 120);
    auto v = Values(both.Output);
    ASSERT_EQ(both.ExitCode, 0) << "round " << round << "\n" << both.Output;
    EXPECT_EQ(v["windows"], "1") << "round " << round << "\n" << both.Output;
    EXPECT_GE(std::stoi(v["run_ms"]), 0) << "round " << round << ": no run\n" << both.Output;
    std::cout << "round " << round << ": exited_ms=" << v["exited_ms"] << " windows=" << v["windows"]
              << " run_ms=" << v["run_ms"] << "\n";
  }
}

// A write of the run fails (the first thread's index, as on a full disk):
// the window logs the error naming the file, comes back to idle with every
// control enabled, and the index is its old self. The check was started by
// the timer: no message box waits for an answer, and the next periodic check
// comes a minute later and completes. The board answers after 3 s: each run
// lasts until the probe, itself a Wine program that may be slow to start on
// a busy machine, is there to see it.
TEST_F(GuiRun, AFailedWriteEndsTheRunAndTheWindowComesBackToIdle) {
  BuildWorld("FailedReport=0\r\nCheckEvery=1\r\n", 3000);
  const std::string index = HostDir() + "log/" + H1() + "/news/1000000001.idx";
  const std::string before = test::ReadFile(index);
  const std::string exe = InstallGui();
  // The first write of the run is the board's list; the second, this index.
  auto began = WatchForRun();
  setenv("VEK_FAIL_WRITE", "replace:2", 1);
  TBackgroundProgram gui(exe, {"/autostart"});
  unsetenv("VEK_FAIL_WRITE");
  ASSERT_EQ(began->Wait(60), 0) << "no run began";
  ASSERT_EQ(RunProbe({"wait-idle", "60"}).ExitCode, 0) << "the window did not come back to idle";
  const TProcessResult controls = RunProbe({"controls"});
  ASSERT_EQ(controls.ExitCode, 0) << controls.Output;
  const auto v = Values(controls.Output);
  EXPECT_GE(v.size(), 4u) << controls.Output;
  for (const auto& [name, enabled] : v) EXPECT_EQ(enabled, "1") << name << " stays disabled";
  EXPECT_EQ(RunProbe({"dismiss", "3"}).ExitCode, 1) << "a message box waited";
  EXPECT_EQ(test::ReadFile(index), before);
  ASSERT_EQ(RunProbe({"wait-title", "VEK [", "75"}, 80).ExitCode, 0) << "no periodic check after the failed one";
  ASSERT_EQ(RunProbe({"wait-idle", "60"}).ExitCode, 0);
  ASSERT_EQ(RunProbe({"close"}).ExitCode, 0);
  ASSERT_EQ(gui.Wait(30), 0);
  const std::string log = test::ReadFile(ProgDir() + "veklog.txt");
  EXPECT_NE(log.find("ERROR: write("), std::string::npos) << log;
  EXPECT_NE(log.find("1000000001.idx): "), std::string::npos) << log;
  EXPECT_NE(log.find("***** Done!! *****"), std::string::npos) << log;
  for (const auto& entry : fs::recursive_directory_iterator(Root.Path()))
    EXPECT_EQ(entry.path().filename().string().rfind(".vek-", 0), std::string::npos) << entry.path();
}

// Log-off after a check and a setting changed through the menu: the window
// lets the session end and saves at once; the process then ends without a
// WM_DESTROY (killed, as Windows does), and the files hold the session.
TEST_F(GuiRun, TheEndOfTheSessionSavesTheSettingsAndTheLog) {
  BuildWorld("FailedReport=0\r\n", 3000);  // the run lasts until the probe sees it
  auto began = WatchForRun();
  auto gui = std::make_unique<TBackgroundProgram>(InstallGui(), std::vector<std::string>{"/autostart"});
  ASSERT_EQ(began->Wait(60), 0) << "no run began";
  ASSERT_EQ(RunProbe({"wait-idle", "60"}).ExitCode, 0);
  // The window numbers its menu items from 100 in the order of the menu bar:
  // 116 is 設定B → 最小化起動.
  ASSERT_EQ(RunProbe({"command", "116"}).ExitCode, 0);
  const TProcessResult end = RunProbe({"end-session"});
  EXPECT_EQ(end.ExitCode, 0) << end.Output;
  EXPECT_EQ(Values(end.Output)["allowed"], "1") << end.Output;
  gui.reset();
  EXPECT_NE(test::ReadFile(ProgDir() + "vek.ini").find("MinStart=1\r\n"), std::string::npos);
  const std::string log = test::ReadFile(ProgDir() + "veklog.txt");
  EXPECT_EQ(log.rfind("Monazilla/1.00 (VEK/3.14.0)\r\n", 0), 0u) << log;
  EXPECT_NE(log.find("***** Done!! *****"), std::string::npos) << log;
}

}  // namespace
}  // namespace vek::e2e
