// The check run's spine: start, the seven steps, the end of the run, and the
// way back to idle when an error escapes a step.
#include "check/CheckRun.h"

#include <exception>

#include "check/DatList.h"
#include "check/RunGuard.h"
#include "check/RunSummary.h"
#include "check/StaleTemporaries.h"
#include "check/SubjectList.h"
#include "fetch/OldHttpGet.h"
#include "fetch/SubjectFetch.h"
#include "platform/Clock.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "reports/DeadReport.h"
#include "reports/NewReport.h"
#include "reports/ReportBoards.h"
#include "reports/ResCount.h"
#include "shell/VekMainForm.h"
#include "support/funcs.h"

namespace vek {

namespace {

constexpr int FrameCount = 14;

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
  explicit TCheckRun(TVekMainForm& form) : Form(form), View(form.View), Run(form.RunContext()) {}
  void Execute();

 private:
  void Pump() { View.ProcessMessages(); }
  void Title(const std::string& text) { View.SetApplicationTitle(text); }
  void AddLogLine(const std::string& text = "") { Run.Log.AddLogLine(text); }
  void AppendToLogLine(const std::string& text) { Run.Log.AppendToLogLine(text); }
  // The elapsed figure of a step that began at startTick, appended to its line.
  void LogDone(uint32_t startTick) { AppendToLogLine("done(" + Form.ElapsedText(startTick) + "s)"); }
  template <typename Step>
  void TimedStep(const std::string& title, const std::string& caption, Step&& step);
  void Status(const std::string& text) {
    Form.MainStatusBar.SimpleText = text;
    View.SetStatusText(text);
  }
  void Start();
  void GenerateDats();
  void GenerateSubjects();
  void GetSubjects();
  void ShowFrame(int frame);
  void GetOneSubject(THttpGet& getter, const TFetchSettings& fetch, int i, int n);
  void DownloadAll();
  void Regenerate();
  void Reports();
  void KeepRestraint();
  void StampSettingsFile();
  void Finish();
  TFetchSettings FetchSettings() const;

  TVekMainForm& Form;
  IVekView& View;
  const TRunContext Run;
  const TRunSettings& Settings = Run.Settings;
  TStringList DatList;
  TStringList SubjectList;
  TStringList BanList;
  TStringList FailedList;
  TStringList UpdateList;
  TStringList DeadList;
  int FailureOffset = 0;
  int PreviousFrame = 0;
  bool AskedServers = false;
  TRunSummary Summary;
};

void TCheckRun::Start() {
  ForceOnline();
  if (Form.IgnoreIdxMenu.Tag == 1) Form.IgnoreIdxMenuClick();
  if (Form.AutoDorFin()) Form.FinDorMenuClick();
  Form.SetRunControlsEnabled(false);
  Pump();
  View.SetTrayImage(0);
  Pump();
  AddLogLine("***** Start!! *****  (" + NowText(Run.Env) + ")");
  AddLogLine();
  LogConfiguration(Run);
  SweepRunFolders(Settings);
}

void TCheckRun::GenerateDats() {
  Title("VEK [1/7]");
  AddLogLine("Generate Dat List: start");
  const uint32_t t = Run.Env.TickCount();
  GenerateDatList(Run, DatList, true);
  AddLogLine("Generate Dat List: done(" + Form.ElapsedText(t) + "s)");
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

TFetchSettings TCheckRun::FetchSettings() const {
  TFetchSettings fetch;
  fetch.SbjPath = Settings.SbjPath();
  fetch.Proxy = Settings.Proxy;
  fetch.TimeOutTime = Settings.TimeOutTime;
  fetch.ExternalCheck = Settings.ExternalCheck;
  fetch.RentalDomains = Settings.RentalDomains;
  fetch.RentalOldHost = Settings.RentalOldHost;
  return fetch;
}

void TCheckRun::ShowFrame(int frame) {
  PreviousFrame = frame;
  View.SetTrayImage(frame + FailureOffset);
}

void TCheckRun::GetOneSubject(THttpGet& getter, const TFetchSettings& fetch, int i, int n) {
  const int frame = i * FrameCount / n;
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
  if (FetchSubject(getter, fetch, [this] { Pump(); }, EntryUrl(line))) {
    LogDone(t);
    return;
  }
  // From the first failure on, the tray shows the second row of frames.
  if (FailureOffset == 0) {
    FailureOffset = FrameCount;
    ShowFrame(frame);
  }
  BanList.Add(ServerPart(line));
  FailedList.Add(line);
  // A refused certificate is told apart from a board that is down: the
  // reader has to do something about it, and nothing else says what.
  const std::string& tls = getter.TlsFailure();
  AppendToLogLine("failed(" + Form.ElapsedText(t) + "s)" + (tls.empty() ? "" : ": " + tls));
}

void TCheckRun::DownloadAll() {
  THttpGet getter;
  BanList.LoadFromFile(Settings.BanListName());
  AddLogLine("Get subject.txt: start");
  PreviousFrame = 0;
  const TFetchSettings fetch = FetchSettings();
  const int n = SubjectList.Count();
  for (int i = 0; i < n; ++i) GetOneSubject(getter, fetch, i, n);

  Form.LastCheckTick = Run.Env.TickCount();
  Form.CheckInterval = CheckIntervalFor(MaxBoardsPerHost(SubjectList, BanList));
  AddLogLine("  Interval: " + std::to_string(Form.CheckInterval / 1000));
  Status(std::to_string(n) + "/" + std::to_string(n));
  AddLogLine("Get subject.txt: done");
  AddLogLine();
  Pump();
}

void TCheckRun::GetSubjects() {
  DownloadAll();
  Summary.FailedBoards = FailedList.Count();
  if (!FailedList.Items.empty() && Settings.FailedReport) {
    FailedList.SaveToFile(Settings.FailedListName());
    View.OpenDocument(Settings.FailedListName());
  }
  FailedList.Clear();
  BanList.Clear();
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
  TimedStep("VEK [5/7]", "Set Res Count ... ", [&] { UpdateResCounts(Run, DatList, UpdateList, DeadList); });
  Summary.Updated = UpdateList.Count();
  Summary.Fallen = DeadList.Count();
  TimedStep("VEK [6/7]", "Write Dead Threads Data ... ", [&] { WriteDeadReport(Run, DeadList); });
  TimedStep("VEK [7/7]", "Write New Threads Data ... ", [&] { Summary.NewThreads = WriteNewReport(Run); });
}

// The stamp is the time of this run's end, read by the three-minute rule
// after a restart; the lock keeps other programs off the file until then. A
// stamp that cannot be set fails the run: otherwise the next start would not
// know of this check and could ask the servers again at once.
void TCheckRun::StampSettingsFile() {
  Form.SettingsLock.Close();
  const std::string iniName = Settings.IniFileName();
  TouchFile(iniName);
  if (!SetFileWriteTime(iniName, Run.Env.UtcNow()))
    throw FileError("stamp", iniName, "the time of this check cannot be recorded");
  Form.SettingsLock.Open(iniName);
}

void TCheckRun::Finish() {
  if (!DeadList.Items.empty()) UpdateList.Add(DeadReportRelativeIdx);
  UpdateList.Add(NewReportRelativeIdx);
  UpdateList.SaveToFile(Settings.NewArrivalListName());
  MarkFallenThreads(Run, DeadList);
  Title("VEK");
  AddLogLine("***** Done!! *****  (" + NowText(Run.Env) + ")");
  AddLogLine();
  StampSettingsFile();
  Pump();
  View.SetTrayImage(-1);
  Pump();
  if (Form.AutoDorRun()) Form.RunDorMenuClick();
  Pump();
}

// A run that ends in its downloads (a board's list that cannot be stored,
// say) has asked the servers all the same: the pause before the next run
// counts from now, as after a run that got through them.
void TCheckRun::KeepRestraint() {
  if (!AskedServers) return;
  Form.LastCheckTick = Run.Env.TickCount();
  Form.CheckInterval = CheckIntervalFor(MaxBoardsPerHost(SubjectList, BanList));
}

void TCheckRun::Execute() {
  Start();
  GenerateDats();
  GenerateSubjects();
  try {
    GetSubjects();
  } catch (const std::exception&) {
    KeepRestraint();
    throw;
  }
  Regenerate();
  Reports();
  Finish();
  Form.LastRunSummary = Summary;
}

// Back to idle after an error escaped a step. Every file is replaced
// atomically, so what the run wrote is either old or complete.
void RecoverFromError(TVekMainForm& form, const std::exception& e) {
  form.LastRunOutcome = TVekMainForm::TRunOutcome::Failed;
  form.LastRunError = DisplayText(e);
  form.AddLogLine("ERROR: " + form.LastRunError);
  form.AddLogLine();
  form.View.SetApplicationTitle("VEK");
  form.View.SetTrayImage(-1);
  form.SetRunControlsEnabled(true);
}

}  // namespace

bool IsCheckRestrained(TVekMainForm& form) {
  const TRunRefusal refusal = CheckRestraint(form.RunContext(), form.LastCheckTick, form.CheckInterval);
  if (refusal.RetryAfter != 0) form.StartCheckTimer(refusal.RetryAfter);
  return refusal.Refused;
}

void RunUpdateCheck(TVekMainForm& form) {
  form.Timer.Enabled = false;
  form.View.StopTimer();
  form.LastRunError.clear();
  form.LastRunSummary = {};
  if (IsCheckRestrained(form)) {
    form.LastRunOutcome = TVekMainForm::TRunOutcome::Refused;
    return;
  }
  try {
    TCheckRun(form).Execute();
    form.LastRunOutcome = TVekMainForm::TRunOutcome::Completed;
  } catch (const std::exception& e) {
    RecoverFromError(form, e);
    form.AfterRun();
    return;
  }
  form.AfterRun();
  if (form.AutoShutDown()) {
    if (form.NotifySound()) form.View.PlaySound(form.SoundName, true);
    form.View.Close();
  } else if (form.NotifySound()) {
    form.View.PlaySound(form.SoundName, false);
  }
  form.SetRunControlsEnabled(true);
}

}  // namespace vek
