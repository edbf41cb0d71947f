// The next-thread report: each watched thread that filled up or fell, with
// the threads of its board's fresh list that continue it (NextThread.h).
#include "reports/NextThreadReport.h"

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

#include "platform/Files.h"
#include "reports/DeadReport.h"
#include "reports/HostLog.h"
#include "reports/NextThread.h"
#include "reports/ReportBoards.h"
#include "support/Paths.h"

namespace vek {

namespace {

// One board's list of this check, read once for the threads that ended on it.
struct TBoardList {
  std::string Name;  // cache file name
  TBoardThreads Threads;

  void Load(const std::string& sbjPath, const std::string& name) {
    Name = name;
    Threads.Assign(platform::FileExists(sbjPath + name) ? platform::ReadWholeFile(sbjPath + name) : std::string());
  }
};

std::string Reason(const TEndedThread& thread) {
  if (thread.Count < 0) return "→ DAT落ちしました";
  return "→ " + std::to_string(thread.Count) + " レスで埋まりました";
}

// Title, link and reason of one thread, then its candidates (title and link
// each) or "候補なし".
std::string Entry(const TRunContext& run, const TEndedThread& thread, TBoardList& board) {
  const std::string title = thread.Title ? *thread.Title : TitleOfThread(run.Settings.LogPath(), thread.Path);
  std::string entry = EscapeCommas(title) + "<BR>" + MakeLink(ThreadUrlOfPath(thread.Path)) + "<BR>" + Reason(thread);
  const std::string key = ChangeFileExt(ExtractFileName(thread.Path), "");
  const std::vector<size_t> next = board.Threads.FindNext(key, ShapeOfTitle(title), run.Settings.NextThreadAt);
  if (next.empty()) entry += "<BR>次スレ候補: 候補なし";
  const std::string prefix = ThreadUrlPrefixOfCacheName(board.Name);
  for (size_t i : next) {
    const TListedThread& candidate = board.Threads.Threads()[i];
    entry += "<BR>次スレ候補: " + EscapeCommas(candidate.Title) + "<BR>" +
             MakeLink(prefix + std::string(candidate.Key) + "/");
  }
  return entry;
}

// The body of the second response the report holds now; empty when there is
// none. Name, mail field and time stamp before it hold no comma.
std::string PreviousBody(const std::string& datName) {
  if (!platform::FileExists(datName)) return {};
  const std::string text = platform::ReadWholeFile(datName);
  const size_t lineEnd = text.find("\r\n");
  if (lineEnd == std::string::npos) return {};
  std::string_view second = std::string_view(text).substr(lineEnd + 2);
  size_t at = 0;
  for (int field = 0; field < 3; ++field) {
    at = second.find(',', at);
    if (at == std::string_view::npos) return {};
    ++at;
  }
  second.remove_prefix(at);
  if (!second.empty() && second.back() == ',') second.remove_suffix(1);
  return std::string(second);
}

// The threads of ended to list, in runs of one board each: [First, Last).
struct TBoardRun {
  size_t First, Last;
};

std::vector<TBoardRun> BoardRuns(const std::vector<TEndedThread>& ended, const std::set<std::string>& downloaded) {
  std::vector<TBoardRun> runs;
  for (size_t i = 0; i < ended.size(); ++i) {
    // A board that failed in this check has no list to find a next thread in.
    if (downloaded.count(ended[i].CacheFileName) == 0) continue;
    if (!runs.empty() && runs.back().Last == i && ended[runs.back().First].CacheFileName == ended[i].CacheFileName)
      ++runs.back().Last;
    else
      runs.push_back({i, i + 1});
  }
  return runs;
}

// The entries of every run, index for index with ended (empty for a thread
// not listed). A board's list and titles take most of the time, so boards
// are shared between this thread, which keeps the window alive between its
// boards, and a helper on the second core.
std::vector<std::string> Entries(const TRunContext& run, const std::vector<TEndedThread>& ended,
                                 const std::vector<TBoardRun>& runs) {
  std::vector<std::string> entries(ended.size());
  std::atomic<size_t> next{0};
  const auto work = [&](bool pump) {
    TBoardList board;
    for (size_t r; (r = next++) < runs.size();) {
      board.Load(run.Settings.SbjPath(), ended[runs[r].First].CacheFileName);
      for (size_t i = runs[r].First; i < runs[r].Last; ++i) entries[i] = Entry(run, ended[i], board);
      if (pump) run.Log.ProcessMessages();
    }
  };
  std::exception_ptr helperError;
  std::thread helper;
  if (runs.size() > 1) {
    try {
      helper = std::thread([&] {
        try {
          work(false);
        } catch (...) {
          helperError = std::current_exception();
          next = runs.size();
        }
      });
    } catch (const std::system_error&) {
      // No second thread: this one makes every entry.
    }
  }
  try {
    work(true);
  } catch (...) {
    next = runs.size();
    if (helper.joinable()) helper.join();
    throw;
  }
  if (helper.joinable()) helper.join();
  if (helperError) std::rethrow_exception(helperError);
  return entries;
}

}  // namespace

bool WriteNextThreadReport(const TRunContext& run, const std::vector<TEndedThread>& ended,
                           const std::set<std::string>& downloaded) {
  const TRunSettings& settings = run.Settings;
  std::string body;
  for (const std::string& entry : Entries(run, ended, BoardRuns(ended, downloaded))) {
    if (entry.empty()) continue;
    if (!body.empty()) body += "<BR><BR>";
    body += entry;
  }
  if (body.empty()) return false;
  const bool changed = PreviousBody(settings.NextReportDatName()) != body;
  platform::CreateDirectories(settings.LogPath() + ReportDirectory());
  const std::string timeStamp = TimeStamp(run.Env.LocalNow());
  const std::string dat = NextReportFirstLine(timeStamp) + "\r\n<b>VEK</b>,," + timeStamp + "," + body + ",";
  platform::ReplaceFileAtomically(settings.NextReportDatName(), dat);
  WriteReportIndex(settings.NextReportIdxName(), NextReportIndexFields(timeStamp));
  return changed;
}

}  // namespace vek
