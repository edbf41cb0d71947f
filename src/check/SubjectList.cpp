// Building the Subject list: the user's boards, then the board of every
// watched thread, each with the number of watched threads on it.
#include "check/SubjectList.h"

#include "check/DatList.h"
#include "platform/Collate.h"
#include "platform/Files.h"
#include "reports/HostLog.h"
#include "support/SjisText.h"

namespace vek {

namespace {

std::string PrimaryBoardUrl(const std::string& entry) {
  const size_t lastSep = SjisFindLast(entry, '\\');
  std::string dir = lastSep == std::string::npos ? std::string() : entry.substr(0, lastSep + 1);
  // Character boundaries throughout, as the path may hold Japanese.
  dir = SjisReplaceAll(SjisReplaceAll(SjisReplaceAll(dir, "\\", "/"), "%2F", "/"), "%3A", ":");
  return "http://" + dir + "subject.txt";
}

// The host may carry a port ("host:8080"); neither field may climb out of
// the directory its cache name is later joined to.
bool IsSafeBoardField(const std::string& field, bool allowPort) {
  std::string checked = field;
  if (allowPort) {
    const size_t colon = checked.find(':');
    if (colon != std::string::npos) checked = checked.substr(0, colon);
  }
  return IsSafeRelativePath(checked);
}

}  // namespace

std::string SubjectUrlOfEntry(const TRunContext& run, const std::string& entry) {
  if (IsPrimaryNetwork(run.Settings, entry)) return PrimaryBoardUrl(entry);
  const std::string text = platform::ReadWholeFile(run.Settings.LogPath() + entry);
  std::string host;
  std::string board;
  if (!IndexItemOf(text, HostField, host) || !IndexItemOf(text, BoardField, board)) {
    run.Log.AddLogLine("  Skipped (index file without host and board): " + entry);
    return "";
  }
  if (!IsSafeBoardField(host, true) || !IsSafeBoardField(board, false)) {
    run.Log.AddLogLine("  Refused host or board outside the subject cache: " + entry);
    return "";
  }
  return "http://" + host + "/" + board + "/" + "subject.txt";
}

namespace {

// The first line named url (a bare URL is never counted into), or -1.
int IndexOfBoard(const TStringList& subjectList, const std::string& url) {
  for (int i = 0; i < subjectList.Count(); ++i) {
    const std::string& line = subjectList[i];
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (platform::CompareTextNoCase(std::string_view(line).substr(0, eq), url) == 0) return i;
  }
  return -1;
}

void CountAt(TStringList& subjectList, int index, const std::string& url) {
  const std::string& line = subjectList[index];
  const int count = StrToIntDef(std::string_view(line).substr(line.find('=') + 1), 0);
  subjectList[index] = url + "=" + std::to_string(count + 1);
}

}  // namespace

void CountBoardEntry(TStringList& subjectList, const std::string& url) {
  const int index = IndexOfBoard(subjectList, url);
  if (index >= 0) {
    CountAt(subjectList, index, url);
  } else {
    subjectList.Add(url + "=1");
  }
}

void GenerateSubjectList(const TRunContext& run, TStringList& subjectList, const TStringList& datList) {
  // The Dat list is sorted, so the threads of one board follow each other:
  // the line found for the previous entry is the first one named so still
  // (lines before it never change their names, new lines go to the end).
  std::string lastUrl;
  int lastIndex = -1;
  for (int i = 0; i < datList.Count(); ++i) {
    run.Log.ProcessMessages();
    const std::string url = SubjectUrlOfEntry(run, datList[i]);
    if (url.empty()) continue;
    if (lastIndex < 0 || platform::CompareTextNoCase(url, lastUrl) != 0) {
      lastIndex = IndexOfBoard(subjectList, url);
      if (lastIndex < 0) {
        subjectList.Add(url + "=0");
        lastIndex = subjectList.Count() - 1;
      }
      lastUrl = url;
    }
    CountAt(subjectList, lastIndex, url);
  }
}

}  // namespace vek
