// The new-thread report: every cached board is compared with its snapshot,
// the threads missing from the snapshot become one new response of the
// report board, and a fresh snapshot is taken.
#include "reports/NewReport.h"

#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Collate.h"
#include "platform/Files.h"
#include "platform/UserPaths.h"
#include "reports/HostLog.h"
#include "reports/KeyTable.h"
#include "reports/ReportBoards.h"
#include "support/BuffStr.h"
#include "support/StringList.h"
#include "support/TextLines.h"

namespace vek {

namespace {

// The user's template when it can be formatted with its arguments, else the
// default, said once in the log.
std::string UsableTemplate(IRunLog& log, const std::string& pattern, std::string_view fallback,
                           const char* settingName, int argumentCount) {
  std::string probe;
  bool usable = argumentCount == 1 ? FormatTemplate(pattern, {""}, probe) : FormatTemplate(pattern, {"", ""}, probe);
  if (usable) return pattern;
  log.AddLogLine(std::string("  ") + settingName + " cannot be used (only %s, at most " +
                  std::to_string(argumentCount) + ", and %% are allowed); the default is used: " + pattern);
  return std::string(fallback);
}

// The keys of a snapshot, compared as the user's locale compares texts with
// letter case ignored. Keys made of ASCII letters, digits and dots (all real
// keys, such as 1234567890.dat) are equal under that comparison exactly when
// they are equal with ASCII case folded, so they are found by hashing; any
// other key is compared with the locale's comparison, one by one. This keeps
// the system comparison (slow on Windows) out of the common case.
class TKnownKeys {
 public:
  // The views point into snapshotText, which outlives this object.
  explicit TKnownKeys(std::string_view snapshotText) {
    PlainKeys.Reset(snapshotText.size() / 14 + 1);
    ForEachLine(snapshotText, [&](std::string_view line) {
      if (!IsPlainKey(line))
        OtherKeys.push_back(line);
      else if (HasUpper(line))
        PlainKeys.Insert(Folded_.emplace_back(Folded(line)), 0);
      else
        PlainKeys.Insert(line, 0);
    });
  }
  bool Contains(std::string_view key) const {
    if (IsPlainKey(key)) {
      bool found = HasUpper(key) ? PlainKeys.Find(Folded(key)) != nullptr : PlainKeys.Find(key) != nullptr;
      if (found) return true;
    }
    for (std::string_view other : OtherKeys)
      if (platform::CompareTextNoCase(other, key) == 0) return true;
    if (IsPlainKey(key)) return false;
    bool found = false;
    PlainKeys.ForEachKey([&](std::string_view plain) {
      if (!found && platform::CompareTextNoCase(plain, key) == 0) found = true;
    });
    return found;
  }

 private:
  static bool IsPlainKey(std::string_view key) {
    for (char c : key)
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.')) return false;
    return true;
  }
  static bool HasUpper(std::string_view key) {
    for (char c : key)
      if (c >= 'A' && c <= 'Z') return true;
    return false;
  }
  static std::string Folded(std::string_view key) {
    std::string folded(key);
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return folded;
  }
  std::deque<std::string> Folded_;  // storage of the folded keys (stable addresses)
  TKeyTable PlainKeys;
  std::vector<std::string_view> OtherKeys;
};

// What a board's pass learnt for the snapshot rebuild: whether its snapshot
// must change, and to what, so unchanged ones are not written again.
struct TSnapshotState {
  bool Changed = false;
  std::string NewText;  // kept only when changed
};

struct TTemplates {
  std::string BoardExp;
  std::string ThreadExp;
};

// Appends the heading and entries of one board's new threads to the response
// (nothing when it has none); the number of entries.
int ReportBoard(IRunLog& log, const std::string& cacheFileName, const std::string& cacheText,
                const TKnownKeys& known, const TTemplates& templates, TStringWriter& response) {
  const std::string prefix = ThreadUrlPrefixOfCacheName(cacheFileName);
  TStringWriter board(static_cast<int32_t>(cacheText.size() / 16) + 256);
  std::string entry;
  // Some servers list a thread twice (the rental service repeats its top
  // thread at the end); the cache keeps both lines, the report names the
  // thread once, from its first line.
  std::unordered_set<std::string_view> reported;
  ForEachLine(cacheText, [&](std::string_view line) {
    log.ProcessMessages();
    // A line without a thread key names no thread; it is never reported.
    const std::string_view key = SubjectLineKey(line);
    if (key.empty() || known.Contains(key)) return;
    if (!reported.insert(key).second) return;
    // The key holds no comma: only the title needs the escape.
    std::string title = EscapeCommas(line.substr(key.size() + 2));
    std::string url = prefix + ChangeFileExt(std::string(key), "") + "/";
    FormatTemplate(templates.ThreadExp, {title, MakeLink(url)}, entry);
    board.Write(entry);
  });
  if (board.Count == 0) return 0;
  std::string heading;
  FormatTemplate(templates.BoardExp, {BoardUrlOfCacheName(cacheFileName)}, heading);
  response.Write(heading);
  response.Write(board.View());
  return static_cast<int>(reported.size());
}

// The report index keeps everything but its line counts and news mark.
void UpdateReportIndex(const std::string& indexName, int lineCount) {
  TIndexRecord record = ParseIndexRecord(platform::ReadWholeFile(indexName));
  record.Fields[ServerCountField] = std::to_string(lineCount);
  record.Fields[LocalCountField] = std::to_string(lineCount);
  record.Fields[NewMarkField] = "1";
  platform::ReplaceFileAtomically(indexName, RewrittenRecordLine(record.Fields) + "\r\n");
}

}  // namespace

bool FormatTemplate(std::string_view pattern, std::initializer_list<std::string_view> args, std::string& result) {
  std::string text;
  text.reserve(pattern.size() + 64);
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      text += pattern[i];
      continue;
    }
    if (i + 1 >= pattern.size()) return false;
    char conversion = pattern[++i];
    if (conversion == '%') {
      text += '%';
    } else if (conversion == 's' && next != args.end()) {
      text += *next++;
    } else {
      return false;
    }
  }
  result = std::move(text);
  return true;
}

namespace {

using TSnapshots = std::unordered_map<std::string, TSnapshotState>;

// Compares every cached board that has a snapshot (and is not excluded)
// with it and writes the new threads into the response; their number.
int CompareBoards(const TRunContext& run, const std::vector<std::string>& cacheFiles, TStringWriter& response,
                  TSnapshots& snapshots) {
  const TRunSettings& settings = run.Settings;
  const std::string sbjPath = settings.SbjPath();
  TStringList exclusions;
  if (platform::FileExists(settings.NonReportListName())) exclusions.LoadFromFile(settings.NonReportListName());
  const TTemplates templates{UsableTemplate(run.Log, settings.BoardExp, DefaultBoardExp, "BoardExp", 1),
                             UsableTemplate(run.Log, settings.ThreadExp, DefaultThreadExp, "ThreadExp", 2)};
  int entries = 0;
  for (const std::string& name : cacheFiles) {
    const std::string cacheFileName = sbjPath + name;
    const std::string snapshotName = SnapshotFileName(cacheFileName);
    if (!platform::FileExists(snapshotName)) continue;
    if (ContainsAnyOf(cacheFileName, exclusions)) continue;
    TSnapshotState& state = snapshots[name];
    const std::string oldText = platform::ReadWholeFile(snapshotName);
    const std::string cacheText = platform::ReadWholeFile(cacheFileName);
    // A board whose keys are line for line those of its snapshot has no new
    // thread, and its snapshot stays: the usual case for a quiet board.
    if (IsSnapshotOf(oldText, cacheText)) {
      run.Log.ProcessMessages();
      continue;
    }
    state.NewText = SnapshotText(cacheText);
    state.Changed = state.NewText != oldText;
    entries += ReportBoard(run.Log, name, cacheText, TKnownKeys(oldText), templates, response);
    if (!state.Changed) state.NewText = std::string();
  }
  return entries;
}

// Appends the response to the report board; false when there is no log
// directory to publish it in.
bool PublishResponse(const TRunContext& run, const std::string& response) {
  const TRunSettings& settings = run.Settings;
  // The reset starts the report anew when its index is gone, and also when its
  // log is gone, so that index and log agree on the number of responses.
  if (!platform::FileExists(settings.NewReportIdxName()) || !platform::FileExists(settings.NewReportDatName())) {
    InitNewReport(run);
    if (!platform::FileExists(settings.NewReportIdxName())) {
      run.Log.AddLogLine("  New thread report skipped: no log directory " + platform::DisplayPath(settings.LogPath()));
      return false;
    }
  }
  TStringList dat;
  dat.LoadFromFile(settings.NewReportDatName());
  dat.Add(response);
  // The log before its index: a run killed or a disk that fills between the
  // two writes leaves an index that counts one response fewer than the log
  // holds (a response still to read, counted again by the next run), never
  // one that counts a response the log does not have.
  dat.SaveToFile(settings.NewReportDatName());
  UpdateReportIndex(settings.NewReportIdxName(), dat.Count());
  return true;
}

// A fresh snapshot of every cached board; those compared above are written
// only when they change.
void TakeSnapshots(const std::string& sbjPath, const TSnapshots& snapshots) {
  for (const std::string& name : platform::ListFilesBySuffix(sbjPath, ".txt")) {
    auto known = snapshots.find(name);
    if (known == snapshots.end())
      WriteSnapshotFile(sbjPath + name);
    else if (known->second.Changed)
      WriteSnapshotText(SnapshotFileName(sbjPath + name), known->second.NewText);
  }
}

}  // namespace

int WriteNewReport(const TRunContext& run) {
  const std::string sbjPath = run.Settings.SbjPath();
  const std::vector<std::string> cacheFiles = platform::ListFilesBySuffix(sbjPath, ".txt");
  if (cacheFiles.empty()) return 0;

  TStringWriter response;
  response.Write("<b>VEK</b>,," + TimeStamp(run.Env.LocalNow()) + ",");
  TSnapshots snapshots;
  const int entries = CompareBoards(run, cacheFiles, response, snapshots);
  response.Write(",");
  // Without a log directory nothing can be published, and the snapshots stay
  // as they are so that these threads are reported once it can be.
  if (!PublishResponse(run, response.GetText())) return 0;
  TakeSnapshots(sbjPath, snapshots);
  return entries;
}

}  // namespace vek
