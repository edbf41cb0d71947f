// The check run's spine: start, the seven steps, the end of the run, and the
// way back to idle when an error escapes a step.
#include "check/CheckRun.h"

#include <cstdio>
#include <exception>
#include <set>

#include "check/DatList.h"
#include "check/StaleTemporaries.h"
#include "check/SubjectList.h"
#include "fetch/OldHttpGet.h"
#include "fetch/SubjectFetch.h"
#include "platform/Clock.h"
#include "platform/Collate.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "reports/DeadReport.h"
#include "reports/NewReport.h"
#include "reports/NextThreadReport.h"
#include "reports/ReportBoards.h"
#include "reports/ResCount.h"
#include "support/funcs.h"

namespace vek {

namespace {

std::string NowText(platform::TEnv& env) {
  const SystemTime now = env.LocalNow();
  std::string text = platform::ShortDateText(now);
  // Midnight shows the date alone, as the system's date-time text does.
  if (now.Hour != 0 || now.Minute != 0 || now.Second != 0 || now.Milliseconds != 0) {
    text += " " + platform::LongTimeText(now);
  }
  return text;
}

// Everything one run creates; freed when the run returns, however it ends.
class TCheckRun {
 public:
  // The run's findings go into result as the steps make them.
  TCheckRun(const TRunContext& run, const TProgramSettings& program, IRunProgress& progress, TRunState& state,
            TRunResult& result)
      : Run(run), Program(program), Progress(progress), State(state), Result(result) {}
  void Execute();

 private:
  void Pump() { Run.Log.ProcessMessages(); }
  void Title(const std::string& text) { Progress.SetRunTitle(text); }
  void AddLogLine(const std::string& text = "") { Run.Log.AddLogLine(text); }
  void AppendToLogLine(const std::string& text) { Run.Log.AppendToLogLine(text); }
  std::string Elapsed(uint32_t startTick) const { return ElapsedText(Run.Env, startTick); }
  // The elapsed figure of a step that began at startTick, appended to its line.
  void LogDone(uint32_t startTick) { AppendToLogLine("done(" + Elapsed(startTick) + "s)"); }
  template <typename Step>
  void TimedStep(const std::string& title, const std::string& caption, Step&& step);
  void Status(const std::string& text) { Progress.SetRunStatus(text); }
  void Start();
  void GenerateDats();
  void GenerateSubjects();
  void GetSubjects();
  void ShowFrame(int frame);
  void GetOneSubject(THttpGet& getter, int i, int n);
  void DownloadAll();
  void Regenerate();
  void Reports();
  void StartPause();
  void StampSettingsFile();
  void Finish();

  const TRunContext& Run;
  const TProgramSettings& Program;
  IRunProgress& Progress;
  TRunState& State;
  TRunResult& Result;
  const TRunSettings& Settings = Run.Settings;
  TStringList DatList;
  TStringList SubjectList;
  TStringList BanList;
  TStringList FailedList;
  TStringList UpdateList;
  TStringList DeadList;
  std::vector<TEndedThread> Ended;    // for the next-thread report
  std::set<std::string> Downloaded;   // cache file names of the boards downloaded
  bool NextReportNew = false;
  int FailureOffset = 0;
  int PreviousFrame = 0;
  bool AskedServers = false;
};

void TCheckRun::Start() {
  ForceOnline();
  Progress.ShowLogPane();
  if (Settings.AutoDorFin) Progress.CloseHostBrowser();
  Progress.SetRunUnderWay(true);
  Pump();
  Progress.SetTrayFrame(0);
  Pump();
  AddLogLine("***** Start!! *****  (" + NowText(Run.Env) + ")");
  AddLogLine();
  LogConfiguration(Run, Program);
  SweepRunFolders(Settings);
}

void TCheckRun::GenerateDats() {
  Title("VEK [1/7]");
  AddLogLine("Generate Dat List: start");
  const uint32_t t = Run.Env.TickCount();
  GenerateDatList(Run, DatList, true);
  AddLogLine("Generate Dat List: done(" + Elapsed(t) + "s)");
  AddLogLine();
  Pump();
}

void TCheckRun::GenerateSubjects() {
  Title("VEK [2/7]");
  SubjectList.LoadFromFile(Settings.SubjectListName());
  AddLogLine("Generate Subject List ... ");
  const uint32_t t = Run.Env.TickCount();
  GenerateSubjectList(Run, SubjectList, DatList);
  LogDone(t);
  AddLogLine();
  Pump();
}

void TCheckRun::ShowFrame(int frame) {
  PreviousFrame = frame;
  Progress.SetTrayFrame(frame + FailureOffset);
}

void TCheckRun::GetOneSubject(THttpGet& getter, int i, int n) {
  const int frame = i * TrayFrameCount / n;
  if (frame != PreviousFrame) ShowFrame(frame);
  Pump();
  const std::string progress = std::to_string(i) + "/" + std::to_string(n);
  Title("VEK [3/7] (" + progress + ")");
  Status(progress);
  const std::string line = SubjectList[i];
  if (ContainsAnyOf(line, BanList)) {
    AddLogLine("  Get " + line + " ... skipped");
    FailedList.Add(line);
    return;
  }
  AddLogLine("  Get " + line + " ... ");
  const uint32_t t = Run.Env.TickCount();
  AskedServers = true;
  bool notModified = false;
  if (FetchSubject(getter, Settings.Fetch, Settings.SbjPath(), Run.Env, [this] { Pump(); }, EntryUrl(line), &notModified)) {
    if (Settings.NextThreadReport) Downloaded.insert(SubjectCacheName(EntryUrl(line)) + ".txt");
    if (notModified) AppendToLogLine("not modified(" + Elapsed(t) + "s)");
    else LogDone(t);
    return;
  }
  // From the first failure on, the tray shows the second row of frames.
  if (FailureOffset == 0) {
    FailureOffset = TrayFrameCount;
    ShowFrame(frame);
  }
  BanList.Add(ServerPart(line));
  FailedList.Add(line);
  // A refused certificate is told apart from a board that is down: the
  // reader has to do something about it, and nothing else says what.
  const std::string& tls = getter.TlsFailure();
  AppendToLogLine("failed(" + Elapsed(t) + "s)" + (tls.empty() ? "" : ": " + tls));
}

void TCheckRun::DownloadAll() {
  THttpGet getter;
  BanList.LoadFromFile(Settings.BanListName());
  AddLogLine("Get subject.txt: start");
  PreviousFrame = 0;
  const int n = SubjectList.Count();
  for (int i = 0; i < n; ++i) GetOneSubject(getter, i, n);

  StartPause();
  AddLogLine("  Interval: " + std::to_string(State.CheckInterval / 1000));
  Status(std::to_string(n) + "/" + std::to_string(n));
  AddLogLine("Get subject.txt: done");
  AddLogLine();
  Pump();
}

void TCheckRun::GetSubjects() {
  DownloadAll();
  if (!FailedList.Items.empty() && Settings.FailedReport) {
    FailedList.SaveToFile(Settings.FailedListName());
    Progress.OpenDocument(Settings.FailedListName());
  }
  Result.FailedBoards = std::move(FailedList.Items);
}

void TCheckRun::Regenerate() {
  Title("VEK [4/7]");
  if (Settings.GreedyCheck && !Settings.IgnoreIdxList.empty()) {
    DatList.Clear();
    AddLogLine("Regenerate Dat List: start");
    const uint32_t t = Run.Env.TickCount();
    GenerateDatList(Run, DatList, false);
    // Whole milliseconds without a unit here, unlike every other step's
    // seconds: the log has always shown it so.
    AddLogLine("Generate Dat List: done(" + std::to_string(Run.Env.TickCount() - t) + ")");
  } else {
    AddLogLine("Regenerate Dat List: skipped");
  }
  AddLogLine();
  Pump();
}

// Steps 5 to 7 share their frame: title, a caption line that the elapsed
// figure is appended to, an empty line, a pump.
template <typename Step>
void TCheckRun::TimedStep(const std::string& title, const std::string& caption, Step&& step) {
  Title(title);
  AddLogLine(caption);
  const uint32_t t = Run.Env.TickCount();
  step();
  LogDone(t);
  AddLogLine();
  Pump();
}

void TCheckRun::Reports() {
  // Only now is the list of the index files step 5 writes final.
  SweepThreadFolders(Settings, DatList);
  TimedStep("VEK [5/7]", "Set Res Count ... ", [&] {
    UpdateResCounts(Run, DatList, UpdateList, DeadList, Settings.NextThreadReport ? &Ended : nullptr);
  });
  TimedStep("VEK [6/7]", "Write Dead Threads Data ... ", [&] { WriteDeadReport(Run, DeadList); });
  if (Settings.NextThreadReport)
    TimedStep("VEK [6/7]", "Write Next Threads Data ... ",
              [&] { NextReportNew = WriteNextThreadReport(Run, Ended, Downloaded); });
  TimedStep("VEK [7/7]", "Write New Threads Data ... ", [&] { Result.NewThreads = WriteNewReport(Run); });
}

// The stamp is the time of this run's end, read by the three-minute rule
// after a restart; the lock keeps other programs off the file until then. A
// stamp that cannot be set fails the run: otherwise the next start would not
// know of this check and could ask the servers again at once.
void TCheckRun::StampSettingsFile() {
  State.ReleaseSettingsFile();
  const std::string iniName = Settings.IniFileName();
  TouchFile(iniName);
  if (!SetFileWriteTime(iniName, Run.Env.UtcNow()))
    throw FileError("stamp", iniName, "the time of this check cannot be recorded");
  State.HoldSettingsFile(iniName);
}

void TCheckRun::Finish() {
  Result.UpdatedThreads = UpdateList.Items;
  if (!DeadList.Items.empty()) UpdateList.Add(ReportFileName(DeadReportKey, ".idx"));
  if (NextReportNew) UpdateList.Add(ReportFileName(NextReportKey, ".idx"));
  UpdateList.Add(ReportFileName(NewReportKey, ".idx"));
  UpdateList.SaveToFile(Settings.NewArrivalListName());
  MarkFallenThreads(Run, DeadList);
  Result.FallenThreads = std::move(DeadList.Items);
  Title(IdleTitle);
  AddLogLine("***** Done!! *****  (" + NowText(Run.Env) + ")");
  AddLogLine();
  StampSettingsFile();
  Pump();
  Progress.SetTrayFrame(TrayOwnIcon);
  Pump();
  if (Settings.AutoDorRun) Progress.StartHostBrowser();
  Pump();
}

// The pause before the next run counts from the end of the downloads.
void TCheckRun::StartPause() {
  State.LastCheckTick = Run.Env.TickCount();
  State.CheckInterval = CheckIntervalFor(MaxBoardsPerHost(SubjectList, BanList));
}

void TCheckRun::Execute() {
  Start();
  GenerateDats();
  GenerateSubjects();
  try {
    GetSubjects();
  } catch (const std::exception&) {
    // A run that ends in its downloads (a board's list that cannot be stored,
    // say) has asked the servers all the same: the pause before the next run
    // counts from now, as after a run that got through them.
    if (AskedServers) StartPause();
    throw;
  }
  Regenerate();
  Reports();
  Finish();
}

}  // namespace

std::string ElapsedText(platform::TEnv& env, uint32_t startTick) {
  // Unsigned difference: a wrap of the tick counter in between does no harm.
  const uint32_t elapsed = env.TickCount() - startTick;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", elapsed / 1000.0);
  std::string text = buffer;
  const size_t dot = text.find('.');
  if (dot != std::string::npos) text[dot] = platform::DecimalSeparator();
  return text;
}

TRunResult RunUpdateCheck(const TRunContext& run, const TProgramSettings& program, IRunProgress& progress,
                          TRunState& state) {
  TRunResult result;
  if (const std::optional<uint32_t> wait = CheckRestraint(run, state)) {
    result.Outcome = TRunOutcome::Refused;
    result.NextRunAfter = *wait;
    return result;
  }
  try {
    TCheckRun(run, program, progress, state, result).Execute();
    result.Outcome = TRunOutcome::Completed;
  } catch (const std::exception& e) {
    // Back to idle, without the findings of the steps that got through.
    // Every file is replaced atomically, so what the run wrote is either old
    // or complete.
    result = TRunResult{};
    result.Outcome = TRunOutcome::Failed;
    result.Error = DisplayText(e);
    run.Log.AddLogLine("ERROR: " + result.Error);
    run.Log.AddLogLine();
    progress.SetRunTitle(IdleTitle);
    progress.SetTrayFrame(TrayOwnIcon);
  }
  result.NextRunAfter = RestraintWait(run, state);
  progress.SetRunUnderWay(false);
  return result;
}

}  // namespace vek
