// The check run's spine: start, the seven steps, the end of the run, and the
// way back to idle when an error escapes a step.
#include "check/CheckRun.h"

#include <exception>
#include <memory>

#include "check/DatList.h"
#include "check/RunGuard.h"
#include "check/SubjectList.h"
#include "fetch/OldHttpGet.h"
#include "fetch/SubjectFetch.h"
#include "platform/Clock.h"
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

std::string NowText(TVekMainForm& form) {
  const SystemTime now = form.Env.LocalNow();
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
  explicit TCheckRun(TVekMainForm& form) : Form(form), View(form.View) {}
  void Execute();

 private:
  void Pump() { View.ProcessMessages(); }
  void Title(const std::string& text) { View.SetApplicationTitle(text); }
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
  void GetOneSubject(THttpGet& getter, const TFetchSettings& settings, int i, int n);
  void Regenerate();
  void Reports();
  void Finish();
  TFetchSettings FetchSettings() const;

  TVekMainForm& Form;
  IVekView& View;
  TStringList DatList;
  TStringList SubjectList;
  TStringList BanList;
  TStringList FailedList;
  TStringList UpdateList;
  TStringList DeadList;
  int FailureOffset = 0;
  int PreviousFrame = 0;
};

void TCheckRun::Start() {
  ForceOnline();
  if (Form.IgnoreIdxMenu.Tag == 1) Form.IgnoreIdxMenuClick();
  if (Form.AutoDorFin()) Form.FinDorMenuClick();
  Form.SetRunControlsEnabled(false);
  Pump();
  View.SetTrayImage(0);
  Pump();
  Form.AddLogLine("***** Start!! *****  (" + NowText(Form) + ")");
  Form.AddLogLine();
  LogConfiguration(Form);
}

void TCheckRun::GenerateDats() {
  Title("VEK [1/7]");
  Form.AddLogLine("Generate Dat List: start");
  const uint32_t t = Form.Env.TickCount();
  GenerateDatList(Form, DatList, true);
  Form.AddLogLine("Generate Dat List: done(" + Form.ElapsedText(t) + "s)");
  Form.AddLogLine();
  Pump();
}

void TCheckRun::GenerateSubjects() {
  Title("VEK [2/7]");
  SubjectList.LoadFromFile(Form.SubjectListName());
  Form.AddLogLine("Generate Subject List ... ");
  const uint32_t t = Form.Env.TickCount();
  GenerateSubjectList(Form, SubjectList, DatList);
  Form.AppendToLogLine("done(" + Form.ElapsedText(t) + "s)");
  Form.AddLogLine();
  Pump();
}

TFetchSettings TCheckRun::FetchSettings() const {
  TFetchSettings settings;
  settings.SbjPath = Form.SbjPath();
  settings.Proxy = Form.Proxy;
  settings.TimeOutTime = Form.TimeOutTime;
  settings.ExternalCheck = Form.ExternalCheck();
  settings.RentalDomains = Form.RentalDomainList();
  settings.RentalOldHost = Form.RentalOldHost;
  return settings;
}

void TCheckRun::GetOneSubject(THttpGet& getter, const TFetchSettings& settings, int i, int n) {
  const int frame = i * FrameCount / n;
  if (frame != PreviousFrame) {
    PreviousFrame = frame;
    View.SetTrayImage(frame + FailureOffset);
  }
  Pump();
  const std::string progress = std::to_string(i) + "/" + std::to_string(n);
  Title("VEK [3/7] (" + progress + ")");
  Status(progress);
  const std::string line = SubjectList[i];
  if (ContainsAnyOf(line, BanList)) {
    Form.AddLogLine("  Get " + line + " ... skipped");
    FailedList.Add(line);
    return;
  }
  Form.AddLogLine("  Get " + line + " ... ");
  const uint32_t t = Form.Env.TickCount();
  if (FetchSubject(getter, settings, [this] { Pump(); }, EntryUrl(line))) {
    Form.AppendToLogLine("done(" + Form.ElapsedText(t) + "s)");
    return;
  }
  if (FailureOffset == 0) {
    FailureOffset = FrameCount;
    PreviousFrame = frame;
    View.SetTrayImage(frame + FailureOffset);
  }
  BanList.Add(ServerPart(line));
  FailedList.Add(line);
  Form.AppendToLogLine("failed(" + Form.ElapsedText(t) + "s)");
}

void TCheckRun::GetSubjects() {
  {
    THttpGet getter;
    BanList.LoadFromFile(Form.BanListName());
    Form.AddLogLine("Get subject.txt: start");
    PreviousFrame = 0;
    const TFetchSettings settings = FetchSettings();
    const int n = SubjectList.Count();
    for (int i = 0; i < n; ++i) GetOneSubject(getter, settings, i, n);

    Form.LastCheckTick = Form.Env.TickCount();
    const int busiest = MaxBoardsPerHost(SubjectList, BanList);
    const uint64_t interval = static_cast<uint64_t>(busiest < 0 ? 0 : busiest) * 20000;
    Form.CheckInterval = interval >= 180000 ? 180000 : static_cast<uint32_t>(interval);
    Form.AddLogLine("  Interval: " + std::to_string(Form.CheckInterval / 1000));
    Status(std::to_string(n) + "/" + std::to_string(n));
    Form.AddLogLine("Get subject.txt: done");
    Form.AddLogLine();
    Pump();
  }
  if (!FailedList.Items.empty() && Form.FailedReport()) {
    FailedList.SaveToFile(Form.FailedListName());
    View.OpenDocument(Form.FailedListName());
  }
  FailedList.Clear();
  BanList.Clear();
}

void TCheckRun::Regenerate() {
  Title("VEK [4/7]");
  if (Form.GreedyCheck() && !Form.IgnoreIdxList().empty()) {
    DatList.Clear();
    Form.AddLogLine("Regenerate Dat List: start");
    const uint32_t t = Form.Env.TickCount();
    GenerateDatList(Form, DatList, false);
    Form.AddLogLine("Generate Dat List: done(" + std::to_string(Form.Env.TickCount() - t) + ")");
    Form.AddLogLine();
  } else {
    Form.AddLogLine("Regenerate Dat List: skipped");
    Form.AddLogLine();
  }
  Pump();
}

// Steps 5 to 7 share their frame: title, a caption line that the elapsed
// figure is appended to, an empty line, a pump.
template <typename Step>
void TCheckRun::TimedStep(const std::string& title, const std::string& caption, Step&& step) {
  Title(title);
  Form.AddLogLine(caption);
  uint32_t t = Form.Env.TickCount();
  step();
  Form.AppendToLogLine("done(" + Form.ElapsedText(t) + "s)");
  Form.AddLogLine();
  Pump();
}

void TCheckRun::Reports() {
  TimedStep("VEK [5/7]", "Set Res Count ... ", [&] { UpdateResCounts(Form, DatList, UpdateList, DeadList); });
  TimedStep("VEK [6/7]", "Write Dead Threads Data ... ", [&] { WriteDeadReport(Form, DeadList); });
  TimedStep("VEK [7/7]", "Write New Threads Data ... ", [&] { WriteNewReport(Form); });
}

void TCheckRun::Finish() {
  if (!DeadList.Items.empty()) UpdateList.Add(DeadReportRelativeIdx);
  UpdateList.Add(NewReportRelativeIdx);
  UpdateList.SaveToFile(Form.NewArrivalListName());
  Title("VEK");
  Form.AddLogLine("***** Done!! *****  (" + NowText(Form) + ")");
  Form.AddLogLine();

  // The stamp is the time of this run's end, read by the three-minute rule
  // after a restart; the lock keeps other programs off the file until then.
  CloseFileLock(Form.SettingsLockHandle);
  const std::string iniName = Form.IniFileName();
  TouchFile(iniName);
  SetFileWriteTime(iniName, Form.Env.UtcNow());
  OpenFileLock(iniName, Form.SettingsLockHandle);

  Pump();
  View.SetTrayImage(-1);
  Pump();
  if (Form.AutoDorRun()) Form.RunDorMenuClick();
  Pump();
}

void TCheckRun::Execute() {
  Start();
  GenerateDats();
  GenerateSubjects();
  GetSubjects();
  Regenerate();
  Reports();
  Finish();
}

}  // namespace

void RunUpdateCheck(TVekMainForm& form) {
  form.Timer.Enabled = false;
  form.View.StopTimer();
  form.LastRunError.clear();
  if (IsCheckRestrained(form)) {
    form.LastRunOutcome = TVekMainForm::TRunOutcome::Refused;
    return;
  }
  try {
    TCheckRun(form).Execute();
    form.LastRunOutcome = TVekMainForm::TRunOutcome::Completed;
  } catch (const std::exception& e) {
    // Every file is replaced atomically, so what the run wrote is either old
    // or complete; the window goes back to idle.
    form.LastRunOutcome = TVekMainForm::TRunOutcome::Failed;
    form.LastRunError = e.what();
    form.AddLogLine(std::string("ERROR: ") + e.what());
    form.AddLogLine();
    form.View.SetApplicationTitle("VEK");
    form.View.SetTrayImage(-1);
    form.SetRunControlsEnabled(true);
    return;
  }
  if (form.AutoShutDown()) {
    if (form.NotifySound()) form.View.PlaySound(form.SoundName, true);
    form.View.Close();
  } else if (form.NotifySound()) {
    form.View.PlaySound(form.SoundName, false);
  }
  form.SetRunControlsEnabled(true);
}

}  // namespace vek
