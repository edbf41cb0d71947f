// The settings of a run over a scratch program directory and host directory
// (the program's defaults otherwise), with a recording log and a clock fixed
// at 2026/12/07 21:05:09, plus helpers that
// build index files and subject caches the way the host browser and the
// board fetch leave them.
#pragma once
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Env.h"
#include "reports/RunContext.h"
#include "support/StringList.h"

namespace vek::test {

// The log pane as the steps write it, line by line, and the pumps they ask for.
class TRecordingLog : public IRunLog {
 public:
  void AddLogLine(const std::string& line) override { Lines.push_back(line); }
  void AppendToLogLine(const std::string& text) override {
    if (Lines.empty()) Lines.emplace_back();
    Lines.back() += text;
  }
  void ProcessMessages() override { ++Pumps; }

  std::vector<std::string> Lines;
  int Pumps = 0;
};

class TFixedEnv : public platform::TEnv {
 public:
  platform::SystemTime LocalNow() override { return Now; }
  platform::SystemTime UtcNow() override { return Now; }
  uint32_t TickCount() override { return 1000; }
  void Sleep(uint32_t) override {}
  platform::SystemTime Now{2026, 12, 1, 7, 21, 5, 9, 0};
};

inline constexpr const char* FixedStamp = "2026/12/07 21:05:09";

// 21 TAB-joined fields (rewritten form) from the first fields given; the rest empty.
std::string IndexLine(const std::vector<std::string>& leading);
// An ordinary thread's record: flags, title, host, board, key, counts and mark.
std::string ThreadRecord(const std::string& flags, const std::string& title, const std::string& host,
                         const std::string& board, const std::string& key, const std::string& serverCount,
                         const std::string& localCount, const std::string& newMark);

class TReportsFixture {
 public:
  TReportsFixture();
  ~TReportsFixture();

  std::string AppDir() const { return Root / "app\\"; }
  std::string DorDir() const { return Root / "dor\\"; }
  std::string LogDir() const { return Root / "dor\\log\\"; }
  std::string SbjDir() const { return Root / "app\\subject\\"; }

  // Writes log\<threadPath> with the given bytes.
  void WriteIndex(const std::string& threadPath, const std::string& bytes) const;
  std::string ReadIndex(const std::string& threadPath) const;
  // Writes subject\<cacheName> (with ".txt") from lines joined by CR LF.
  void WriteCache(const std::string& cacheFileName, const std::vector<std::string>& lines) const;
  void WriteSnapshot(const std::string& cacheFileName, const std::vector<std::string>& keys) const;
  std::string LogText() const;  // the view's log lines joined by "\n"

  TRunContext Run() { return TRunContext{Settings, Log, Env}; }

  TempDir Root;
  TRecordingLog Log;
  TFixedEnv Env;
  TRunSettings Settings;
};

TStringList ListOf(const std::vector<std::string>& lines);

}  // namespace vek::test
