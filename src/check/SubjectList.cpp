// Building the Subject list: the user's boards, then the board of every
// watched thread, each with the number of watched threads on it.
#include "check/SubjectList.h"

#include "check/DatList.h"
#include "platform/Collate.h"
#include "platform/Files.h"
#include "reports/HostLog.h"
#include "shell/VekMainForm.h"
#include "support/SjisText.h"

namespace vek {

namespace {

// Replaces every occurrence of an ASCII needle found at a character boundary.
std::string ReplaceAll(std::string_view text, std::string_view needle, std::string_view replacement) {
  std::string result;
  size_t from = 0;
  for (size_t at = SjisFindText(text, needle); at != std::string::npos; at = SjisFindText(text, needle, from)) {
    result.append(text.substr(from, at - from));
    result.append(replacement);
    from = at + needle.size();
  }
  result.append(text.substr(from));
  return result;
}

std::string PrimaryBoardUrl(const std::string& entry) {
  const size_t lastSep = SjisFindLast(entry, '\\');
  std::string dir = lastSep == std::string::npos ? std::string() : entry.substr(0, lastSep + 1);
  dir = ReplaceAll(dir, "\\", "/");
  dir = ReplaceAll(dir, "%2F", "/");
  dir = ReplaceAll(dir, "%3A", ":");
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

std::string SubjectUrlOfEntry(TVekMainForm& form, const std::string& entry) {
  if (IsPrimaryNetwork(form, entry)) return PrimaryBoardUrl(entry);
  const std::string text = platform::ReadWholeFile(form.LogPath() + entry);
  std::string host;
  std::string board;
  if (!IndexItemOf(text, HostField, host) || !IndexItemOf(text, BoardField, board)) {
    form.AddLogLine("  Skipped (index file without host and board): " + entry);
    return "";
  }
  if (!IsSafeBoardField(host, true) || !IsSafeBoardField(board, false)) {
    form.AddLogLine("  Refused host or board outside the subject cache: " + entry);
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

void GenerateSubjectList(TVekMainForm& form, TStringList& subjectList, const TStringList& datList) {
  // The Dat list is sorted, so the threads of one board follow each other:
  // the line found for the previous entry is the first one named so still
  // (lines before it never change their names, new lines go to the end).
  std::string lastUrl;
  int lastIndex = -1;
  for (int i = 0; i < datList.Count(); ++i) {
    form.View.ProcessMessages();
    const std::string url = SubjectUrlOfEntry(form, datList[i]);
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
