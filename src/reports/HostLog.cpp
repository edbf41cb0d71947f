// The host browser's file formats: index records, the fallen mark, items,
// thread log texts, thread URLs and snapshot files.
#include "reports/HostLog.h"

#include <cstdio>

#include "platform/Files.h"
#include "support/TextLines.h"
#include "support/SjisText.h"

namespace vek {

namespace {

constexpr std::string_view CrLf = "\r\n";
constexpr std::string_view EscapedComma = "＠｀";

}  // namespace

// --- thread list files ---------------------------------------------------------

std::vector<std::string> ReadThreadListFile(const std::string& fileName) {
  std::vector<std::string> lines;
  ForEachLine(platform::ReadWholeFile(fileName), [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

// --- thread index files --------------------------------------------------------

TIndexRecord ParseIndexRecord(std::string_view fileText) {
  TIndexRecord record;
  size_t next = 0;
  std::string_view line = FirstLine(fileText, next);
  size_t start = 0;
  for (int i = 0; i < IndexFieldCount && start <= line.size(); ++i) {
    size_t tab = line.find('\t', start);
    size_t end = tab == std::string_view::npos ? line.size() : tab;
    record.Fields[static_cast<size_t>(i)] = std::string(line.substr(start, end - start));
    start = end + 1;
  }
  ForEachLine(fileText.substr(next), [&](std::string_view further) { record.FurtherLines.emplace_back(further); });
  return record;
}

TIndexRecord ReadIndexRecord(const std::string& fileName) {
  return ParseIndexRecord(platform::ReadWholeFile(fileName));
}

int ParseIndexFlags(std::string_view fileText, int fallback) {
  size_t next = 0;
  std::string_view line = FirstLine(fileText, next);
  size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return fallback;
  std::string_view rest = line.substr(tab + 1);
  return StrToIntDef(rest.substr(0, rest.find('\t')), fallback);
}

int ReadIndexFlags(const std::string& fileName, int fallback) {
  return ParseIndexFlags(platform::ReadWholeFile(fileName), fallback);
}

std::string RewrittenRecordLine(const TIndexFields& fields) {
  std::string line;
  for (int i = 0; i < IndexFieldCount; ++i) {
    if (i > 0) line += '\t';
    line += fields[static_cast<size_t>(i)];
  }
  return line;
}

std::string RewrittenIndexText(const TIndexRecord& record) {
  std::string text = RewrittenRecordLine(record.Fields);
  text += CrLf;
  for (const std::string& line : record.FurtherLines) {
    text += line;
    text += CrLf;
  }
  return text;
}

// Writing only what changed keeps the host browser's time stamps and spares
// the disk on runs where most counts stay the same.
static bool ReplaceIfChanged(const std::string& fileName, std::string_view oldText, std::string_view newText) {
  if (oldText == newText) return false;
  platform::ReplaceFileAtomically(fileName, newText);
  return true;
}

bool WriteIndexRecord(const std::string& fileName, const TIndexRecord& record) {
  std::string oldText = platform::FileExists(fileName) ? platform::ReadWholeFile(fileName) : std::string();
  return ReplaceIfChanged(fileName, oldText, RewrittenIndexText(record));
}

std::string ReportFormRecord(const TIndexFields& fields) {
  std::string line;
  for (const std::string& field : fields) {
    line += field;
    line += '\t';
  }
  return line;
}

void WriteReportIndex(const std::string& fileName, const TIndexFields& fields) {
  platform::ReplaceFileAtomically(fileName, ReportFormRecord(fields));
}

std::string FallenMarkedText(std::string_view fileText) {
  size_t next = 0;
  std::string_view line = FirstLine(fileText, next);
  // Fields 0 and 1 are taken from the first line only, so a short or broken
  // record never pulls text of later lines into it.
  size_t tab0 = line.find('\t');
  std::string_view field0 = line.substr(0, tab0);
  std::string_view field1, rest;
  if (tab0 != std::string_view::npos) {
    std::string_view tail = line.substr(tab0 + 1);
    size_t tab1 = tail.find('\t');
    field1 = tail.substr(0, tab1);
    if (tab1 != std::string_view::npos) rest = tail.substr(tab1 + 1);
  }
  int flags = StrToIntDef(field1, UnreadableFlags) | FallenFlag;
  std::string text(field0);
  text += '\t';
  text += std::to_string(flags);
  text += '\t';
  text += rest;
  text += CrLf;
  return text;
}

bool MarkIndexFallen(const std::string& fileName) {
  std::string oldText = platform::ReadWholeFile(fileName);
  return ReplaceIfChanged(fileName, oldText, FallenMarkedText(oldText));
}

bool IndexItemOf(std::string_view fileText, int n, std::string& item) {
  if (n < 0) return false;
  // A TAB counts as a line end of its own; CR LF, CR and LF as usual, and a
  // text that ends with a line end has no empty line after it.
  int index = 0;
  size_t start = 0;
  size_t i = 0;
  while (i < fileText.size()) {
    char c = fileText[i];
    if (c != '\t' && c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    if (index == n) {
      item.assign(fileText.substr(start, i - start));
      return true;
    }
    ++index;
    i += (c == '\r' && i + 1 < fileText.size() && fileText[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < fileText.size() && index == n) {
    item.assign(fileText.substr(start));
    return true;
  }
  return false;
}

// --- thread log lines ------------------------------------------------------------

std::string TimeStamp(const platform::SystemTime& local) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04u/%02u/%02u %02u:%02u:%02u", unsigned{local.Year}, unsigned{local.Month},
                unsigned{local.Day}, unsigned{local.Hour}, unsigned{local.Minute}, unsigned{local.Second});
  return buffer;
}

std::string EscapeCommas(std::string_view text) {
  std::string result(text);
  ReplaceAll(result, ",", EscapedComma);
  return result;
}

std::string MakeLink(std::string_view url) {
  std::string link = "<a href=\"";
  link += url;
  link += "\" target=\"_blank\">";
  link += url;
  link += "</a>";
  return link;
}

std::string ThreadUrlOfPath(std::string_view threadPath) {
  std::string slashed = SjisReplaceAll(DecodeCacheName(ChangeFileExt(threadPath, "")), "\\", "/");
  size_t last = slashed.rfind('/');
  size_t secondLast = (last == std::string::npos || last == 0) ? std::string::npos : slashed.rfind('/', last - 1);
  size_t split = secondLast == std::string::npos ? 0 : secondLast + 1;
  return "http://" + slashed.substr(0, split) + "test/read.cgi/" + slashed.substr(split) + "/";
}

namespace {

// host/ and board of a cache file name.
void SplitCacheName(std::string_view cacheFileName, std::string& hostPath, std::string& board) {
  std::string name = DecodeCacheName(ChangeFileExt(cacheFileName, ""));
  size_t slash = name.rfind('/');
  size_t split = slash == std::string::npos ? 0 : slash + 1;
  hostPath = name.substr(0, split);
  board = name.substr(split);
}

// The cache name of a board listed as https (in subject_list.txt) keeps its
// scheme; every other cache name is an http board's, without one.
std::string WithScheme(const std::string& hostPath) {
  return hostPath.rfind("https://", 0) == 0 ? hostPath : "http://" + hostPath;
}

}  // namespace

std::string ThreadUrlPrefixOfCacheName(std::string_view cacheFileName) {
  std::string hostPath, board;
  SplitCacheName(cacheFileName, hostPath, board);
  return WithScheme(hostPath) + "test/read.cgi/" + board + "/";
}

std::string BoardUrlOfCacheName(std::string_view cacheFileName) {
  std::string hostPath, board;
  SplitCacheName(cacheFileName, hostPath, board);
  return WithScheme(hostPath) + board + "/";
}

// --- snapshot files ------------------------------------------------------------------

std::string SnapshotFileName(std::string_view cacheFileName) { return ChangeFileExt(cacheFileName, ".lst"); }

bool IsThreadKey(std::string_view key) {
  constexpr std::string_view Extension = "dat";
  if (key.size() < Extension.size() + 2) return false;
  const size_t dot = key.size() - Extension.size() - 1;
  for (size_t i = 0; i < dot; ++i)
    if (key[i] < '0' || key[i] > '9') return false;
  if (key[dot] != '.') return false;
  for (size_t i = 0; i < Extension.size(); ++i)
    if ((key[dot + 1 + i] | 0x20) != Extension[i]) return false;
  return true;
}

std::string_view SubjectLineKey(std::string_view line) {
  size_t mark = line.find("<>");
  if (mark == std::string_view::npos || !IsThreadKey(line.substr(0, mark))) return {};
  return line.substr(0, mark);
}

std::string SnapshotText(std::string_view cacheText) {
  std::string text;
  text.reserve(cacheText.size() / 2);
  ForEachLine(cacheText, [&](std::string_view line) {
    text += SubjectLineKey(line);
    text += CrLf;
  });
  return text;
}

bool IsSnapshotOf(std::string_view snapshotText, std::string_view cacheText) {
  size_t pos = 0;
  bool same = ForEachLineWhile(cacheText, [&](std::string_view line) {
    std::string_view key = SubjectLineKey(line);
    if (snapshotText.size() - pos < key.size() + CrLf.size()) return false;
    if (snapshotText.compare(pos, key.size(), key) != 0) return false;
    if (snapshotText.compare(pos + key.size(), CrLf.size(), CrLf) != 0) return false;
    pos += key.size() + CrLf.size();
    return true;
  });
  return same && pos == snapshotText.size();
}

void WriteSnapshotFile(const std::string& cacheFileName) {
  WriteSnapshotText(SnapshotFileName(cacheFileName), SnapshotText(platform::ReadWholeFile(cacheFileName)));
}

bool WriteSnapshotText(const std::string& snapshotFileName, std::string_view text) {
  if (platform::FileExists(snapshotFileName) && platform::ReadWholeFile(snapshotFileName) == text) return false;
  platform::ReplaceFileAtomically(snapshotFileName, text, platform::TDurability::Renamed);
  return true;
}

}  // namespace vek
