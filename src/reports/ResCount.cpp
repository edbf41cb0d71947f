// The response-count update: one pass over the watched threads, reading each
// board's subject cache once and each index file once, writing only the index
// files whose bytes change.
#include "reports/ResCount.h"

#include <array>
#include <charconv>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/Files.h"
#include "reports/HostLog.h"
#include "reports/KeyTable.h"
#include "support/SjisText.h"
#include "support/TextLines.h"

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

// host\board\key.idx names its board directly: host%2Fboard.txt.
std::string PrimaryCacheFileName(std::string_view threadPath) {
  size_t last = SjisFindLast(threadPath, '\\');
  if (last == std::string_view::npos) return {};
  return SjisReplaceAll(threadPath.substr(0, last), "\\", "%2F") + ".txt";
}

// Host and board are items 4 and 5 of the index file; an index without them
// leaves the thread uncached (neither updated nor reported as fallen).
std::string ExternalCacheFileName(std::string_view indexText) {
  std::string host, board;
  if (!IndexItemOf(indexText, HostField, host) || !IndexItemOf(indexText, BoardField, board)) return {};
  if (host.empty() || board.empty()) return {};
  return EncodeCacheName(host + "/" + board) + ".txt";
}

// A thread's board as its cache file name (not yet checked for safety) and,
// for an external board, the index file read to find it.
struct TThreadBoard {
  std::string CacheFileName;
  std::string IndexName;  // empty when no index file was read
  std::string IndexText;
};

// Names the boards of threads. Threads of one board follow each other in a
// run, so the name of the last primary board directory is kept.
class TBoardNamer {
 public:
  TBoardNamer(const std::string& logPath, const std::vector<std::string>& primarySuffixes)
      : LogPath(logPath), PrimarySuffixes(primarySuffixes) {}
  const TThreadBoard& Of(std::string_view threadPath);

 private:
  const std::string& LogPath;
  const std::vector<std::string>& PrimarySuffixes;
  TThreadBoard Board;
  std::string PrimaryDir;  // the directory Board.CacheFileName was made from; empty: none
};

const TThreadBoard& TBoardNamer::Of(std::string_view threadPath) {
  Board.IndexName.clear();
  Board.IndexText.clear();
  if (ContainsAnySuffix(threadPath, PrimarySuffixes)) {
    const size_t last = SjisFindLast(threadPath, '\\');
    const std::string_view dir = threadPath.substr(0, last == std::string_view::npos ? 0 : last + 1);
    if (dir.empty() || dir != PrimaryDir) {
      Board.CacheFileName = PrimaryCacheFileName(threadPath);
      PrimaryDir.assign(dir);
    }
    return Board;
  }
  PrimaryDir.clear();
  Board.CacheFileName.clear();
  std::string indexName = LogPath + ChangeFileExt(threadPath, ".idx");
  if (!platform::FileExists(indexName)) return Board;
  Board.IndexText = platform::ReadWholeFile(indexName);
  Board.IndexName = std::move(indexName);
  Board.CacheFileName = ExternalCacheFileName(Board.IndexText);
  return Board;
}

// The subject lines of one board by key: the first line of each key wins.
// Lines without a thread key are left out: they name no thread.
class TSubjectCache {
 public:
  void Load(const std::string& fileName) {
    Text = platform::ReadWholeFile(fileName);
    Lines.Reset(Text.size() / 48 + 1);
    ForEachLine(Text, [&](std::string_view line) {
      const std::string_view key = SubjectLineKey(line);
      if (!key.empty()) Lines.Insert(key, line.size());
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

using TFieldViews = std::array<std::string_view, IndexFieldCount>;

// Fields 0 to 20 of a record line; missing ones empty, extra ones dropped.
TFieldViews SplitRecordLine(std::string_view line) {
  TFieldViews fields{};
  size_t start = 0;
  for (size_t i = 0; i < fields.size() && start <= line.size(); ++i) {
    size_t tab = line.find('\t', start);
    size_t end = tab == std::string_view::npos ? line.size() : tab;
    fields[i] = line.substr(start, end - start);
    start = end + 1;
  }
  return fields;
}

// The news rules on fields 7 to 9 (digits holds the new count's text); true
// when the thread then has news.
bool ApplyNewsRules(TFieldViews& fields, int count, std::array<char, 16>& digits) {
  std::string_view& serverCount = fields[ServerCountField];
  const std::string_view localCount = fields[LocalCountField];
  std::string_view& newMark = fields[NewMarkField];
  if (count == 0) {
    serverCount = localCount;
  } else {
    auto converted = std::to_chars(digits.data(), digits.data() + digits.size(), count);
    serverCount = std::string_view(digits.data(), static_cast<size_t>(converted.ptr - digits.data()));
  }
  if (count > StrToIntDef(localCount, UnreadableLocalCount) && newMark == "-1") newMark = {};
  if (count == 0) newMark = "-1";
  return newMark != "-1";
}

}  // namespace

std::string CacheFileNameOfThread(std::string_view threadPath, const std::string& logPath,
                                  const std::vector<std::string>& primarySuffixes) {
  if (!IsSafeRelativePath(threadPath)) return {};
  std::string name = TBoardNamer(logPath, primarySuffixes).Of(threadPath).CacheFileName;
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

bool RewriteServerCount(std::string_view indexText, int count, std::string& newText) {
  size_t next = 0;
  TFieldViews fields = SplitRecordLine(FirstLine(indexText, next));
  std::array<char, 16> digits;
  const bool news = ApplyNewsRules(fields, count, digits);
  newText.clear();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) newText += '\t';
    newText += fields[i];
  }
  newText += "\r\n";
  ForEachLine(indexText.substr(next), [&](std::string_view further) {
    newText += further;
    newText += "\r\n";
  });
  return news;
}

namespace {

// Index files rewritten are handed to the disk this many at a time: flushed
// together, then renamed (a flush per file costs a wait for the disk each).
constexpr size_t IndexWriteBatch = 64;

// One pass of the count update; the current board's cache stays loaded while
// its threads follow each other in the list.
class TResCountPass {
 public:
  TResCountPass(const TRunContext& run, TStringList& updateList, TStringList& deadList,
                std::vector<TEndedThread>* ended)
      : Run(run), LogPath(run.Settings.LogPath()), SbjPath(run.Settings.SbjPath()),
        Boards(LogPath, run.Settings.PrimarySuffixes), UpdateList(updateList), DeadList(deadList), Ended(ended) {}
  void Visit(const std::string& path);
  void WritePending();

 private:
  std::string_view SafeCacheName(const TThreadBoard& board, const std::string& path);
  bool SelectCache(std::string_view name);
  void WriteCount(const std::string& path, const std::string& indexName, std::string_view knownText);
  void Replace(const std::string& indexName, std::string_view text);

  const TRunContext& Run;
  const std::string LogPath;
  const std::string SbjPath;
  TBoardNamer Boards;
  TStringList& UpdateList;
  TStringList& DeadList;
  std::vector<TEndedThread>* Ended;
  std::string CurrentName;  // the loaded cache's name; empty when none is loaded
  TSubjectCache Cache;
  std::unordered_set<std::string> MissingCaches;  // tested once per run, not once per thread
  std::string NewText;
  std::string IndexName;
  std::vector<platform::TFileReplacement> Pending;  // rewritten, not yet written
};

std::string_view TResCountPass::SafeCacheName(const TThreadBoard& board, const std::string& path) {
  if (board.CacheFileName.empty() || IsSafeCacheFileName(board.CacheFileName)) return board.CacheFileName;
  Run.Log.AddLogLine("  Refused unsafe board name: " + board.CacheFileName + " (" + path + ")");
  return {};
}

bool TResCountPass::SelectCache(std::string_view name) {
  if (name == CurrentName) return !CurrentName.empty();
  CurrentName.clear();
  std::string fileName(name);
  if (name.empty() || MissingCaches.count(fileName) != 0) return false;
  if (!platform::FileExists(SbjPath + fileName)) {
    MissingCaches.insert(std::move(fileName));
    return false;
  }
  Cache.Load(SbjPath + fileName);
  CurrentName = std::move(fileName);
  return true;
}

// knownText is the index file's text when it was read for its board's name,
// empty when it has not been read yet (one read for a name is never empty).
void TResCountPass::WriteCount(const std::string& path, const std::string& indexName, std::string_view knownText) {
  std::string readText;
  std::string_view indexText = knownText;
  const auto read = [&] {
    if (!indexText.empty()) return;
    readText = platform::ReadWholeFile(indexName);
    indexText = readText;
  };
  int count = Cache.CountOf(ChangeFileExt(ExtractFileName(path), ".dat"));
  if (count != -1) {
    read();
    bool news = RewriteServerCount(indexText, count, NewText);
    if (NewText != indexText) Replace(indexName, NewText);
    if (news) UpdateList.Add(path);
    const int fullAt = Run.Settings.NextThreadAt;
    if (Ended && fullAt > 0 && count >= fullAt) {
      Ended->push_back({path, CurrentName, count, std::nullopt});
      std::string title;
      if (IndexItemOf(indexText, TitleField, title)) Ended->back().Title = std::move(title);
    }
    return;
  }
  // The fallen mark, when asked for, waits for the end of the run
  // (MarkFallenThreads).
  DeadList.Add(path);
  if (Ended) Ended->push_back({path, CurrentName, -1, std::nullopt});
}

// The thread list names every thread once, so no index file is read again
// between its new bytes being queued and being written.
void TResCountPass::Replace(const std::string& indexName, std::string_view text) {
  Pending.push_back({indexName, std::string(text)});
  if (Pending.size() >= IndexWriteBatch) WritePending();
}

void TResCountPass::WritePending() {
  if (Pending.empty()) return;
  std::vector<platform::TFileReplacement> batch;
  batch.swap(Pending);
  platform::ReplaceFilesTogether(batch);
}

void TResCountPass::Visit(const std::string& path) {
  if (!IsSafeRelativePath(path)) {
    Run.Log.AddLogLine("  Refused unsafe thread path: " + path);
  } else {
    IndexName.assign(LogPath).append(path);
    // An external board's index file, read for its cache name, is reused.
    const TThreadBoard& board = Boards.Of(path);
    if (SelectCache(SafeCacheName(board, path)))
      WriteCount(path, IndexName, board.IndexName == IndexName ? std::string_view(board.IndexText) : std::string_view());
  }
  Run.Log.ProcessMessages();
}

}  // namespace

void UpdateResCounts(const TRunContext& run, const TStringList& datList, TStringList& updateList,
                     TStringList& deadList, std::vector<TEndedThread>* ended) {
  TResCountPass pass(run, updateList, deadList, ended);
  try {
    for (const std::string& path : datList.Items) pass.Visit(path);
  } catch (...) {
    // The files worked out before the failure are written as they would
    // have been one by one; the failure is the one reported.
    try {
      pass.WritePending();
    } catch (...) {
    }
    throw;
  }
  pass.WritePending();
}

void MarkFallenThreads(const TRunContext& run, const TStringList& deadList) {
  if (!run.Settings.MarkFallen) return;
  const std::string logPath = run.Settings.LogPath();
  for (const std::string& path : deadList.Items) {
    // The count update lists only safe paths; an index file deleted since
    // has nothing to mark.
    if (IsSafeRelativePath(path) && platform::FileExists(logPath + path)) MarkIndexFallen(logPath + path);
    run.Log.ProcessMessages();
  }
}

}  // namespace vek
