// The next-thread report: each watched thread that filled up or fell, with
// the threads of its board's fresh list that continue it (NextThread.h).
#include "reports/NextThreadReport.h"

#include "platform/Files.h"
#include "reports/DeadReport.h"
#include "reports/HostLog.h"
#include "reports/NextThread.h"
#include "reports/ReportBoards.h"
#include "support/Paths.h"
#include "support/TextLines.h"

namespace vek {

namespace {

// One board's list of this check, read once for the threads that ended on it.
struct TBoardList {
  std::string Name;  // cache file name
  std::string Text;
  std::vector<TListedThread> Threads;
  std::vector<TTitleShape> Shapes;

  void Load(const std::string& sbjPath, const std::string& name) {
    Name = name;
    Threads.clear();
    Shapes.clear();
    Text = platform::FileExists(sbjPath + name) ? platform::ReadWholeFile(sbjPath + name) : std::string();
    ForEachLine(Text, [&](std::string_view line) {
      TListedThread thread;
      if (ListedThreadOf(line, thread)) Threads.push_back(thread);
    });
  }
};

std::string Reason(const TEndedThread& thread) {
  if (thread.Count < 0) return "→ DAT落ちしました";
  return "→ " + std::to_string(thread.Count) + " レスで埋まりました";
}

// Title, link and reason of one thread, then its candidates (title and link
// each) or "候補なし".
std::string Entry(const TRunContext& run, const TEndedThread& thread, TBoardList& board) {
  const std::string title = TitleOfThread(run.Settings.LogPath(), thread.Path);
  std::string entry = EscapeCommas(title) + "<BR>" + MakeLink(ThreadUrlOfPath(thread.Path)) + "<BR>" + Reason(thread);
  const std::string key = ChangeFileExt(ExtractFileName(thread.Path), "");
  const std::vector<size_t> next =
      FindNextThreads(key, ShapeOfTitle(title), board.Threads, run.Settings.NextThreadAt, board.Shapes);
  if (next.empty()) entry += "<BR>次スレ候補: 候補なし";
  const std::string prefix = ThreadUrlPrefixOfCacheName(board.Name);
  for (size_t i : next) {
    const TListedThread& candidate = board.Threads[i];
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

}  // namespace

bool WriteNextThreadReport(const TRunContext& run, const std::vector<TEndedThread>& ended,
                           const std::set<std::string>& downloaded) {
  const TRunSettings& settings = run.Settings;
  std::string body;
  TBoardList board;
  for (const TEndedThread& thread : ended) {
    // A board that failed in this check has no list to find a next thread in.
    if (downloaded.count(thread.CacheFileName) == 0) continue;
    if (board.Name != thread.CacheFileName) board.Load(settings.SbjPath(), thread.CacheFileName);
    if (!body.empty()) body += "<BR><BR>";
    body += Entry(run, thread, board);
    run.Log.ProcessMessages();
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
