// What the tests of the main form and the check run share: a view that
// records every call, a clock the test sets, and a program directory and a
// host directory built in a scratch folder.
#pragma once
#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Env.h"
#include "shell/VekMainForm.h"
#include "shell/VekView.h"
#include "support/funcs.h"

namespace vek::test {

class TRecordingView : public IVekView {
 public:
  void ComponentChanged(const TComponent& component) override { Changed.push_back(component.Name); }
  void LogLineAdded(const std::string& line) override { Log.push_back(line); }
  void LogLineAppended(const std::string& text) override {
    if (Log.empty()) Log.emplace_back();
    Log.back() += text;
  }
  void SetApplicationTitle(const std::string& title) override { Titles.push_back(title); }
  void SetStatusText(const std::string& text) override { StatusTexts.push_back(text); }
  void SetTrayImage(int image) override { TrayImages.push_back(image); }
  void ProcessMessages() override { ++Pumps; }
  void ArmTimer(unsigned milliseconds) override { ArmedTimers.push_back(milliseconds); }
  void StopTimer() override { ++TimerStops; }
  void OpenDocument(const std::string& path) override { OpenedDocuments.push_back(path); }
  void PlaySound(const std::string& name, bool wait) override { Sounds.push_back(name + (wait ? " wait" : " nowait")); }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void Close() override { ++Closes; }

  std::vector<std::string> Changed, Log, Titles, StatusTexts, OpenedDocuments, Sounds, Messages;
  std::vector<int> TrayImages;
  std::vector<unsigned> ArmedTimers;
  int Pumps = 0, TimerStops = 0, Closes = 0;
};

// Seconds since 1970-01-01 as a system time (civil calendar, UTC).
inline platform::SystemTime TimeOfSeconds(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  platform::SystemTime t;
  t.Year = static_cast<uint16_t>(y);
  t.Month = static_cast<uint16_t>(m);
  t.Day = static_cast<uint16_t>(d);
  t.Hour = static_cast<uint16_t>(rest / 3600);
  t.Minute = static_cast<uint16_t>(rest / 60 % 60);
  t.Second = static_cast<uint16_t>(rest % 60);
  return t;
}

// A clock that moves only when the test says so (Sleep moves the tick count).
class TFakeEnv : public platform::TEnv {
 public:
  uint32_t TickCount() override { return Tick; }
  platform::SystemTime UtcNow() override { return TimeOfSeconds(UtcSeconds); }
  platform::SystemTime LocalNow() override { return TimeOfSeconds(UtcSeconds + 9 * 3600); }
  void Sleep(uint32_t milliseconds) override {
    Tick += milliseconds;
    UtcSeconds += milliseconds / 1000;
    Slept.push_back(milliseconds);
  }
  uint32_t Tick = 5000000;
  int64_t UtcSeconds = 1796000000;  // 2026-11-29
  std::vector<uint32_t> Slept;
};

// A program directory and a host directory (with its log directory) in a
// scratch folder, and a form over them.
class TFormFixture {
 public:
  TFormFixture() {
    WriteFile(Dir / "app\\.keep", "");
    WriteFile(Dir / "dor\\log\\.keep", "");
  }
  std::string AppPath() const { return Dir / "app\\"; }
  std::string DorPath() const { return Dir / "dor\\"; }
  std::string App(const std::string& name) const { return AppPath() + name; }
  std::string Dor(const std::string& name) const { return DorPath() + name; }
  std::string Log(const std::string& name) const { return DorPath() + "log\\" + name; }

  // Writes "vek.ini" naming the host directory, stamped an hour ago.
  void WriteSettings(const std::string& extraVekKeys = "") {
    WriteFile(App("vek.ini"), "[dorvella]\r\nDirectory=" + DorPath() + "\r\n[VEK]\r\n" + extraVekKeys);
    SetFileWriteTime(App("vek.ini"), TimeOfSeconds(Env.UtcSeconds - 3600));
  }
  // Creates the form and runs its start-up.
  TVekMainForm& Create(const std::vector<std::string>& args = {}) {
    Form = std::make_unique<TVekMainForm>(View, Env);
    Form->FormCreate(args, AppPath());
    return *Form;
  }
  // A thread index file with the given flags field, on host\board.
  void WriteIndex(const std::string& threadPath, const std::string& flags,
                  const std::string& host = "", const std::string& board = "") {
    WriteFile(Log(threadPath), "0\t" + flags + "\t5\ttitle\t" + host + "\t" + board + "\t1\t10\t10\t-1\t2026/01/01 00:00:00\r\n");
  }

  TempDir Dir;
  TRecordingView View;
  TFakeEnv Env;
  std::unique_ptr<TVekMainForm> Form;
};

// The log with the figures that depend on the moment masked: the time in the
// start and end lines and the elapsed seconds of "done(...)".
inline std::vector<std::string> MaskedLog(const std::vector<std::string>& lines) {
  static const std::regex stamp(R"(\*\*\*\*\*  \(.*\)$)");
  static const std::regex seconds(R"((done|failed)\(\d+[.,]\d\ds\))");
  static const std::regex millis(R"(^Generate Dat List: done\(\d+\)$)");
  std::vector<std::string> masked;
  for (const std::string& line : lines) {
    std::string m = std::regex_replace(line, stamp, "*****  (*)");
    m = std::regex_replace(m, seconds, "$1(*s)");
    m = std::regex_replace(m, millis, "Generate Dat List: done(*)");
    masked.push_back(m);
  }
  return masked;
}

}  // namespace vek::test
