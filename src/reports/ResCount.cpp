// The response-count update: one pass over the watched threads, reading each
// board's subject cache once and each index file once, writing only the index
// files whose bytes change.
#include "reports/ResCount.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/Files.h"
#include "reports/HostLog.h"
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
class TSubjectCache {
 public:
  void Load(const std::string& fileName) {
    Lines.clear();
    Text = platform::ReadWholeFile(fileName);
    Lines.reserve(Text.size() / 48 + 1);
    ForEachLine(Text, [&](std::string_view line) {
      size_t mark = line.find("<>");
      Lines.emplace(mark == std::string_view::npos ? std::string_view() : line.substr(0, mark), line);
    });
  }
  int CountOf(std::string_view key) const {
    auto found = Lines.find(key);
    return found == Lines.end() ? -1 : CountOfSubjectLine(found->second);
  }

 private:
  std::string Text;
  std::unordered_map<std::string_view, std::string_view> Lines;
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

void UpdateResCounts(TVekMainForm& form, const TStringList& datList, TStringList& updateList, TStringList& deadList) {
  const std::string logPath = form.LogPath();
  const std::string sbjPath = form.SbjPath();
  const std::vector<std::string> suffixes = form.PrimarySuffixList();
  const bool markFallen = form.DatDownMenu.Checked;

  std::string currentName;
  TSubjectCache cache;
  std::unordered_set<std::string> missingCaches;  // tested once per run, not once per thread

  for (const std::string& path : datList.Items) {
    if (!IsSafeRelativePath(path)) {
      form.AddLogLine("  Refused unsafe thread path: " + path);
      form.View.ProcessMessages();
      continue;
    }
    const std::string indexName = logPath + path;
    // External boards need their index file for the cache name; it is read
    // once and reused for the count rewrite.
    std::string indexText;
    bool haveIndexText = false;
    std::string name;
    if (ContainsAnySuffix(path, suffixes)) {
      name = PrimaryCacheFileName(path);
    } else {
      std::string itemsName = logPath + ChangeFileExt(path, ".idx");
      if (platform::FileExists(itemsName)) {
        indexText = platform::ReadWholeFile(itemsName);
        haveIndexText = itemsName == indexName;
        name = ExternalCacheFileName(indexText);
      }
    }
    if (!name.empty() && !IsSafeCacheFileName(name)) {
      form.AddLogLine("  Refused unsafe board name: " + name + " (" + path + ")");
      name.clear();
    }

    if (name != currentName) {
      currentName = name;
      if (name.empty() || missingCaches.count(name) != 0) {
        currentName.clear();
      } else if (platform::FileExists(sbjPath + name)) {
        cache.Load(sbjPath + name);
      } else {
        missingCaches.insert(name);
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
        TIndexRecord record = ParseIndexRecord(indexText);
        bool news = ApplyServerCount(record.Fields, count);
        std::string newText = RewrittenIndexText(record);
        if (newText != indexText) platform::ReplaceFileAtomically(indexName, newText);
        if (news) updateList.Add(path);
      }
    }
    form.View.ProcessMessages();
  }
}

}  // namespace vek
