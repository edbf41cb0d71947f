// The scratch host tree and run settings shared by the report tests.
#include "ReportsFixture.h"

#include "platform/Files.h"
#include "reports/NewReport.h"

namespace vek::test {

std::string IndexLine(const std::vector<std::string>& leading) {
  std::string line;
  for (size_t i = 0; i < 21; ++i) {
    if (i > 0) line += '\t';
    if (i < leading.size()) line += leading[i];
  }
  return line;
}

std::string ThreadRecord(const std::string& flags, const std::string& title, const std::string& host,
                         const std::string& board, const std::string& key, const std::string& serverCount,
                         const std::string& localCount, const std::string& newMark) {
  return IndexLine({"1", flags, "0", title, host, board, key, serverCount, localCount, newMark,
                    "2026/01/02 03:04:05", "x11", "x12", "x13", "x14", "x15", "x16", "x17", "x18", "x19", "x20"});
}

TReportsFixture::TReportsFixture() {
  platform::CreateDirectories(LogDir());
  platform::CreateDirectories(SbjDir());
  Settings.AppPath = AppDir();
  Settings.DorPath = DorDir();
  Settings.BoardExp = DefaultBoardExp;
  Settings.ThreadExp = DefaultThreadExp;
  Settings.PrimarySuffixes = {"5ch.io", "5ch.net", "bbspink.com"};
}

TReportsFixture::~TReportsFixture() = default;

void TReportsFixture::WriteIndex(const std::string& threadPath, const std::string& bytes) const {
  WriteFile(LogDir() + threadPath, bytes);
}

std::string TReportsFixture::ReadIndex(const std::string& threadPath) const { return ReadFile(LogDir() + threadPath); }

void TReportsFixture::WriteCache(const std::string& cacheFileName, const std::vector<std::string>& lines) const {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  WriteFile(SbjDir() + cacheFileName, text);
}

void TReportsFixture::WriteSnapshot(const std::string& cacheFileName, const std::vector<std::string>& keys) const {
  std::string text;
  for (const std::string& key : keys) text += key + "\r\n";
  std::string name = cacheFileName.substr(0, cacheFileName.size() - 4) + ".lst";
  WriteFile(SbjDir() + name, text);
}

std::string TReportsFixture::LogText() const {
  std::string text;
  for (const std::string& line : Log.Lines) text += line + "\n";
  return text;
}

TStringList ListOf(const std::vector<std::string>& lines) {
  TStringList list;
  for (const std::string& line : lines) list.Add(line);
  return list;
}

}  // namespace vek::test
