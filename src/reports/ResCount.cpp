// The response-count update: one pass over the watched threads, reading each
// board's subject cache once and each index file once, writing only the index
// files whose bytes change.
#include "reports/ResCount.h"

#include <array>
#include <charconv>
#include <string>
#include <unordered_set>

#include "platform/Files.h"
#include "reports/HostLog.h"
#include "reports/KeyTable.h"
#include "reports/TextLines.h"
#include "shell/VekMainForm.h"
#include "support/SjisText.h"

namespace vek {

namespace {

bool ContainsAnySuffix(std::string_view path, const std::vector<std::string>& suffixes) {
  for (const std::string& suffix : suffixes)
    if (!suffix.empty() && path.find(suffix) != std::string_view::npos) return true;
  return false;
}

// A cache name is one file name directly in the subject directory.
bool IsSafeCacheFileName(std::string_view name) {
  return IsSafeRelativePath(name) && SjisFind(name, '\\') == std::string_view::npos &&
         name.find('/') == std::string_view::npos;
}

std::string PrimaryCacheFileName(std::string_view threadPath) {
  size_t last = SjisFindLast(threadPath, '\\');
  if (last == std::string_view::npos) return {};
  std::string name;
  std::string_view board = threadPath.substr(0, last);
  size_t from = 0;
  for (;;) {
    size_t backslash = SjisFind(board, '\\', from);
    name += board.substr(from, backslash == std::string_view::npos ? std::string_view::npos : backslash - from);
    if (backslash == std::string_view::npos) break;
    name += "%2F";
    from = backslash + 1;
  }
  return name + ".txt";
}

// Host and board are items 4 and 5 of the index file; an index without them
// leaves the thread uncached (neither updated nor reported as fallen).
std::string ExternalCacheFileName(std::string_view indexText) {
  std::string host, board;
  if (!IndexItemOf(indexText, HostField, host) || !IndexItemOf(indexText, BoardField, board)) return {};
  if (host.empty() || board.empty()) return {};
  return EncodeCacheName(host + "/" + board) + ".txt";
}

// The subject lines of one board by key: the first line of each key wins.
// Lines without "<>" are left out: every key looked up ends in ".dat".
class TSubjectCache {
 public:
  void Load(const std::string& fileName) {
    Text = platform::ReadWholeFile(fileName);
    Lines.Reset(Text.size() / 48 + 1);
    ForEachLine(Text, [&](std::string_view line) {
      size_t mark = line.find("<>");
      if (mark != std::string_view::npos) Lines.Insert(line.substr(0, mark), line.size());
    });
  }
  int CountOf(std::string_view key) const {
    // A line starts with its key, so the key's entry leads back to the line.
    const TKeyTable::TEntry* entry = Lines.Find(key);
    return entry ? CountOfSubjectLine(std::string_view(entry->Data, entry->Value)) : -1;
  }

 private:
  std::string Text;
  TKeyTable Lines;
};

}  // namespace

std::string CacheFileNameOfThread(std::string_view threadPath, const std::string& logPath,
                                  const std::vector<std::string>& primarySuffixes) {
  if (!IsSafeRelativePath(threadPath)) return {};
  std::string name;
  if (ContainsAnySuffix(threadPath, primarySuffixes)) {
    name = PrimaryCacheFileName(threadPath);
  } else {
    std::string indexName = logPath + ChangeFileExt(threadPath, ".idx");
    if (!platform::FileExists(indexName)) return {};
    name = ExternalCacheFileName(platform::ReadWholeFile(indexName));
  }
  return IsSafeCacheFileName(name) ? name : std::string();
}

int CountOfSubjectLine(std::string_view line) {
  if (line.empty() || line.back() != ')') return -1;
  size_t open = line.rfind('(');
  if (open == std::string_view::npos) return -1;
  std::string_view digits = line.substr(open + 1, line.size() - open - 2);
  int count = StrToIntDef(digits, -1);
  // A negative count is no count a server sends; it reads as unreadable.
  return count < 0 ? -1 : count;
}

bool ApplyServerCount(TIndexFields& fields, int count) {
  std::string& serverCount = fields[ServerCountField];
  const std::string& localCount = fields[LocalCountField];
  std::string& newMark = fields[NewMarkField];
  int local = StrToIntDef(localCount, 1002);
  serverCount = count == 0 ? localCount : std::to_string(count);
  if (count > local && newMark == "-1") newMark.clear();
  if (count == 0) newMark = "-1";
  return newMark != "-1";
}

bool RewriteServerCount(std::string_view indexText, int count, std::string& newText) {
  size_t lineEnd = FirstLineEnd(indexText);
  std::string_view line = indexText.substr(0, lineEnd);
  std::array<std::string_view, IndexFieldCount> fields{};
  size_t start = 0;
  for (size_t i = 0; i < fields.size() && start <= line.size(); ++i) {
    size_t tab = line.find('\t', start);
    size_t end = tab == std::string_view::npos ? line.size() : tab;
    fields[i] = line.substr(start, end - start);
    start = end + 1;
  }

  // The same rules as ApplyServerCount, over views.
  char digits[16];
  std::string_view& serverCount = fields[ServerCountField];
  const std::string_view localCount = fields[LocalCountField];
  std::string_view& newMark = fields[NewMarkField];
  int local = StrToIntDef(localCount, 1002);
  if (count == 0) {
    serverCount = localCount;
  } else {
    auto converted = std::to_chars(digits, digits + sizeof digits, count);
    serverCount = std::string_view(digits, static_cast<size_t>(converted.ptr - digits));
  }
  if (count > local && newMark == "-1") newMark = {};
  if (count == 0) newMark = "-1";

  newText.clear();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) newText += '\t';
    newText += fields[i];
  }
  newText += "\r\n";
  if (lineEnd != std::string_view::npos) {
    size_t next = lineEnd + 1;
    if (indexText[lineEnd] == '\r' && next < indexText.size() && indexText[next] == '\n') ++next;
    ForEachLine(indexText.substr(next), [&](std::string_view further) {
      newText += further;
      newText += "\r\n";
    });
  }
  return newMark != "-1";
}

void UpdateResCounts(TVekMainForm& form, const TStringList& datList, TStringList& updateList, TStringList& deadList) {
  const std::string logPath = form.LogPath();
  const std::string sbjPath = form.SbjPath();
  const std::vector<std::string> suffixes = form.PrimarySuffixList();
  const bool markFallen = form.DatDownMenu.Checked;

  std::string currentName;
  TSubjectCache cache;
  std::unordered_set<std::string> missingCaches;  // tested once per run, not once per thread
  // Threads of one board follow each other in the list: the cache name of
  // the last primary board directory is kept with the test of its safety.
  std::string primaryDir, primaryName;
  bool primaryKnown = false, primarySafe = false;
  std::string indexName, externalName, newText;

  for (const std::string& path : datList.Items) {
    if (!IsSafeRelativePath(path)) {
      form.AddLogLine("  Refused unsafe thread path: " + path);
      form.View.ProcessMessages();
      continue;
    }
    indexName.assign(logPath).append(path);
    // External boards need their index file for the cache name; it is read
    // once and reused for the count rewrite.
    std::string indexText;
    bool haveIndexText = false;
    std::string_view name;
    bool safeName = true;
    if (ContainsAnySuffix(path, suffixes)) {
      size_t last = SjisFindLast(path, '\\');
      std::string_view dir = last == std::string::npos ? std::string_view() : std::string_view(path).substr(0, last + 1);
      if (!primaryKnown || dir != primaryDir) {
        primaryDir.assign(dir);
        primaryName = PrimaryCacheFileName(path);
        primarySafe = primaryName.empty() || IsSafeCacheFileName(primaryName);
        primaryKnown = true;
      }
      name = primaryName;
      safeName = primarySafe;
    } else {
      externalName.clear();
      std::string itemsName = logPath + ChangeFileExt(path, ".idx");
      if (platform::FileExists(itemsName)) {
        indexText = platform::ReadWholeFile(itemsName);
        haveIndexText = itemsName == indexName;
        externalName = ExternalCacheFileName(indexText);
      }
      name = externalName;
      safeName = name.empty() || IsSafeCacheFileName(name);
    }
    if (!safeName) {
      form.AddLogLine("  Refused unsafe board name: " + std::string(name) + " (" + path + ")");
      name = {};
    }

    if (name != currentName) {
      currentName = name;
      if (name.empty() || missingCaches.count(currentName) != 0) {
        currentName.clear();
      } else if (platform::FileExists(sbjPath + currentName)) {
        cache.Load(sbjPath + currentName);
      } else {
        missingCaches.insert(currentName);
        currentName.clear();
      }
    }

    if (!currentName.empty()) {
      int count = cache.CountOf(ChangeFileExt(ExtractFileName(path), ".dat"));
      if (count == -1) {
        deadList.Add(path);
        if (markFallen) {
          if (!haveIndexText) indexText = platform::ReadWholeFile(indexName);
          std::string marked = FallenMarkedText(indexText);
          if (marked != indexText) platform::ReplaceFileAtomically(indexName, marked);
        }
      } else {
        if (!haveIndexText) indexText = platform::ReadWholeFile(indexName);
        bool news = RewriteServerCount(indexText, count, newText);
        if (newText != indexText) platform::ReplaceFileAtomically(indexName, newText);
        if (news) updateList.Add(path);
      }
    }
    form.View.ProcessMessages();
  }
}

}  // namespace vek
