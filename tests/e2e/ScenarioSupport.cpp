// The scratch world of a scenario and the step check.
#include "ScenarioSupport.h"

#include <filesystem>

namespace vek::e2e {

std::string TIndexRecord::Text() const {
  std::vector<std::string> f = {"1", Flags, "0", Title, Host, Board, Key, ServerCount, LocalCount, NewMark,
                                "2026/11/30 21:00:00", "", "", "0", "", "", "0", "", "", "", ""};
  std::string line;
  for (size_t i = 0; i < f.size(); ++i) {
    if (i) line += '\t';
    line += f[i];
  }
  return line + "\r\n";
}

void TScenario::SetUp() {
  Program = ProgramUnderTest();
  if (Program.Exe.empty()) GTEST_SKIP() << "the vek command has not been built";
  Mask.Root = Root.Path();
  Mask.Port = Server.Port();
  std::filesystem::create_directories(HostDir() + "log");
  std::filesystem::create_directories(ProgDir());
}

std::string TScenario::H1() const { return "127.0.0.1%3A" + std::to_string(Server.Port()); }
std::string TScenario::H1Url() const { return "127.0.0.1:" + std::to_string(Server.Port()); }
std::string TScenario::DeadHost() const { return "127.0.0.3%3A" + std::to_string(Server.Port()); }
std::string TScenario::DeadHostUrl() const { return "127.0.0.3:" + std::to_string(Server.Port()); }

void TScenario::WriteIndex(const std::string& threadPath, const TIndexRecord& record, const std::string& extraLines) {
  test::WriteFile(HostDir() + "log/" + threadPath, record.Text() + extraLines);
}

void TScenario::WriteHostFile(const std::string& name, const std::string& bytes) { test::WriteFile(HostDir() + name, bytes); }
void TScenario::WriteProgFile(const std::string& name, const std::string& bytes) { test::WriteFile(ProgDir() + name, bytes); }

void TScenario::WriteSettings(const std::string& extraVekKeys) {
  // The loopback addresses stand in for the primary network's domains.
  WriteProgFile("vek.ini", "[dorvella]\r\nDirectory=" + Program.DirArg(HostDir()) +
                               "\r\n[VEK]\r\nPrimarySuffixes=127.0.0.1;127.0.0.3\r\nNotifySound=0\r\nTimeOutTime=5\r\n" +
                               extraVekKeys);
}

TProcessResult TScenario::Vek(const std::string& command, const std::vector<std::string>& more) {
  // The command line takes the system's own path form.
  std::string dir = Program.Wine ? Program.DirArg(ProgDir()) : ProgDir();
  std::vector<std::string> args = {command, "--dir", dir};
  args.insert(args.end(), more.begin(), more.end());
  return RunProgram(Program, args);
}

void TScenario::WaitPastGuard() { AgeFile(ProgDir() + "vek.ini", 200); }

void TScenario::ExpectStep(const std::string& step) {
  std::string name = Name + "/" + step;
  TTree actual = SnapshotTree(Root.Path(), Mask);
  if (UpdatingExpected()) {
    StoreExpected(name, actual);
    return;
  }
  TTree expected = LoadExpected(name);
  ASSERT_FALSE(expected.empty()) << "no expected files for " << name << " (generate with VEK_E2E_UPDATE=1)";
  std::string report;
  for (const auto& d : CompareTrees(expected, actual)) report += d + "\n";
  EXPECT_TRUE(report.empty()) << "step " << name << ":\n" << report;
}

}  // namespace vek::e2e
