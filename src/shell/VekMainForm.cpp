// The main window's settings accessors, log pane, timer and commands; start-up
// and exit live in FormLifecycle.cpp, the check run in src/check.
#include "shell/VekMainForm.h"

#include <array>

#include "check/CheckRun.h"
#include "check/NextCheck.h"
#include "check/RunSummary.h"
#include "platform/Collate.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "reports/ReportBoards.h"
#include "shell/Settings.h"
#include "support/Paths.h"
#include "support/SjisText.h"
#include "support/funcs.h"

namespace vek {

namespace {

std::vector<std::string> SplitSemicolonList(const std::string& text) {
  std::vector<std::string> parts;
  for (std::string& part : SjisSplit(text, ';')) {
    if (!part.empty()) parts.push_back(std::move(part));
  }
  return parts;
}

}  // namespace

TVekMainForm::TVekMainForm(IVekView& view, platform::TEnv& env) : View(view), Env(env) {
  // The timer is armed only by StartCheckTimer.
  Timer.Enabled = false;
  IgnoreIdxCheckListBox.Visible = false;
  IdxComboBox.Items.push_back("*.idx");
  IdxComboBox.ItemIndex = 0;
  ApplySettingDefaults(*this);
}

// --- boolean settings ---------------------------------------------------------

void TVekMainForm::SetMenuCheck(TMenuItem& item, bool v) {
  item.Checked = v;
  View.ComponentChanged(item);
}


void TVekMainForm::SetIdxType(int index) {
  // An index outside the list leaves nothing selected, as a list control does.
  if (index < 0 || index >= static_cast<int>(IdxComboBox.Items.size())) index = -1;
  IdxComboBox.ItemIndex = index;
  View.ComponentChanged(IdxComboBox);
}

std::string TVekMainForm::IgnoreIdxList() const {
  std::string text;
  for (size_t i = 0; i < IgnoreIdxCheckListBox.Items.size(); ++i) {
    if (i < IgnoreIdxCheckListBox.Checked.size() && IgnoreIdxCheckListBox.Checked[i]) {
      text += IgnoreIdxCheckListBox.Items[i] + ";";
    }
  }
  return text;
}

void TVekMainForm::SetIgnoreIdxList(const std::string& text) {
  auto& box = IgnoreIdxCheckListBox;
  box.Checked.assign(box.Items.size(), false);
  for (const std::string& part : SjisSplit(text, ';')) {
    if (part.empty()) continue;
    for (size_t i = 0; i < box.Items.size(); ++i) {
      if (platform::CompareTextNoCase(box.Items[i], part) == 0) box.Checked[i] = true;
    }
  }
  View.ComponentChanged(box);
}

std::vector<std::string> TVekMainForm::PrimarySuffixList() const { return SplitSemicolonList(PrimarySuffixes); }
std::vector<std::string> TVekMainForm::RentalDomainList() const { return SplitSemicolonList(RentalDomains); }

TRunSettings TVekMainForm::RunSettings() const {
  TRunSettings s;
  static_cast<TProgramPaths&>(s) = Paths();
  s.Fetch.Proxy = Proxy;
  s.Fetch.TimeOutTime = TimeOutTime;
  s.Fetch.ExternalCheck = ExternalCheck();
  s.Fetch.ConditionalGet = ConditionalGetMenu.Checked;
  s.Fetch.RentalDomains = RentalDomainList();
  s.Fetch.RentalOldHost = RentalOldHost;
  s.GreedyCheck = GreedyCheck();
  s.FailedReport = FailedReport();
  s.AutoDorFin = AutoDorFin();
  s.AutoDorRun = AutoDorRun();
  s.MarkFallen = DatDownMenu.Checked;
  s.IgnoreIdxList = IgnoreIdxList();
  s.IdxType = IdxComboBox.ItemIndex;
  if (IdxType() >= 0 && IdxType() < static_cast<int>(IdxComboBox.Items.size()))
    s.IdxTypeName = IdxComboBox.Items[static_cast<size_t>(IdxType())];
  s.BoardExp = BoardExp;
  s.ThreadExp = ThreadExp;
  s.PrimarySuffixes = PrimarySuffixList();
  s.NextThreadReport = NextThreadReportMenu.Checked;
  s.NextThreadAt = NextThreadAt;
  return s;
}

TProgramSettings TVekMainForm::ProgramSettings() const {
  return TProgramSettings{SoundName, IconName, NotifySound(), TimerPeriod, CheckEvery, NotifyBalloon()};
}

// --- log pane -------------------------------------------------------------------

void TVekMainForm::AddLogLine(const std::string& text) {
  LogMemo.Lines.push_back(text);
  View.LogLineAdded(text);
}

void TVekMainForm::AppendToLogLine(const std::string& text) {
  if (LogMemo.Lines.empty()) LogMemo.Lines.emplace_back();
  LogMemo.Lines.back() += text;
  View.LogLineAppended(text);
}

// --- commands ---------------------------------------------------------------------

void TVekMainForm::RunUpdateCheck() {
  Timer.Enabled = false;
  View.StopTimer();
  LogRunStarts_.push_back(LogMemo.Lines.size());
  LastRun_ = vek::RunUpdateCheck(RunContext(), ProgramSettings(), *this, RunState);
  ActOnRunResult();
  KeepLogWithinBound();
}

void TVekMainForm::ActOnRunResult() {
  if (LastRun_.Outcome == TRunOutcome::Refused) {
    // A refusal for a pause re-arms the run timer for its end.
    if (LastRun_.NextRunAfter != 0) StartCheckTimer(LastRun_.NextRunAfter);
    return;
  }
  ShowRunNotice();
  ArmPeriodicCheck(true);
  if (LastRun_.Outcome == TRunOutcome::Completed && AutoShutDown()) {
    if (NotifySound()) View.PlaySound(SoundName, true);
    View.Close();
  } else if (LastRun_.Outcome == TRunOutcome::Completed && NotifySound()) {
    View.PlaySound(SoundName, false);
  }
}

void TVekMainForm::ShowRunNotice() {
  if (!NotifyBalloon()) return;
  const bool failed = LastRun_.Outcome == TRunOutcome::Failed;
  View.ShowNotice("VEK", failed ? FirstLineOf(LastRun_.Error) : SummaryText(SummarizeRun(LastRun_)));
}

void TVekMainForm::ArmPeriodicCheck(bool afterRun) {
  // Without a host directory every check would be refused.
  if (CheckEvery <= 0 || AutoShutDown() || DorPath_.empty() || !View.StaysOpen()) return;
  const uint32_t delay = afterRun ? NextCheckDelay(CheckEvery, 0, LastRun_.NextRunAfter)
                                 : NextCheckDelayAtStart(RunContext(), RunState, CheckEvery);
  StartCheckTimer(delay);
  AddLogLine(NextCheckLine(Env, delay));
  AddLogLine();
}

void TVekMainForm::SetRunStatus(const std::string& text) {
  MainStatusBar.SimpleText = text;
  View.SetStatusText(text);
}

void TVekMainForm::ShowLogPane() {
  // The menu item's tag is 1 while the ignore list stands in the log's place.
  if (IgnoreIdxMenu.Tag == 1) IgnoreIdxMenuClick();
}

void TVekMainForm::UpdateCheckMenuClick() { RunUpdateCheck(); }

void TVekMainForm::TimerTimer() { UpdateCheckMenuClick(); }

void TVekMainForm::StartCheckTimer(unsigned milliseconds) {
  if (Timer.Enabled) {
    Timer.Enabled = false;
    View.StopTimer();
  }
  Timer.Interval = milliseconds;
  Timer.ArmedTick = Env.TickCount();
  Timer.Enabled = true;
  View.ArmTimer(milliseconds);
  View.ComponentChanged(Timer);
}

void TVekMainForm::SetRunUnderWay(bool underWay) {
  RunUnderWay = underWay;
  for (TComponent* control : std::array<TComponent*, 9>{&IgnoreIdxButton, &FileMenu, &ExecuteMenu, &ConfigAMenu,
                                                       &ConfigBMenu, &ConfigCMenu, &UpdateCheckButton, &IdxComboBox,
                                                       &InitNewReportButton}) {
    control->Enabled = !underWay;
    View.ComponentChanged(*control);
  }
  View.SetRunUnderWay(underWay);
}

void TVekMainForm::WMStartCheck() {
  // A request that arrives while a run is under way is dropped.
  if (!RunUnderWay) StartCheckTimer(CheckStartDelay);
}

void TVekMainForm::CheckMenuClick(TMenuItem& item) {
  item.Checked = !item.Checked;
  View.ComponentChanged(item);
}

void TVekMainForm::IgnoreIdxMenuClick() {
  LogMemo.Visible = !LogMemo.Visible;
  IgnoreIdxCheckListBox.Visible = !IgnoreIdxCheckListBox.Visible;
  const char* caption = IgnoreIdxMenu.Tag == 0 ? "ログ表示" : "除外指定";
  IgnoreIdxMenu.Caption = caption;
  IgnoreIdxButton.Caption = caption;
  IgnoreIdxMenu.Tag = IgnoreIdxMenu.Tag == 0 ? 1 : 0;
  View.ComponentChanged(LogMemo);
  View.ComponentChanged(IgnoreIdxCheckListBox);
  View.ComponentChanged(IgnoreIdxMenu);
  View.ComponentChanged(IgnoreIdxButton);
}

void TVekMainForm::SetIconFile(const std::string& fileName) {
  if (fileName.empty() || !platform::FileExists(fileName)) return;
  // Kept even when it is no icon: the next start tries the same file again,
  // and the program goes on with the icon it has.
  IconName = fileName;
  if (!View.SetApplicationIcon(fileName)) View.ShowMessage("アイコンイメージが不正です");
}

void TVekMainForm::SetIgnoreIdxChecked(int index, bool checked) {
  auto& box = IgnoreIdxCheckListBox;
  if (index < 0 || index >= static_cast<int>(box.Items.size())) return;
  box.Checked.resize(box.Items.size(), false);
  box.Checked[index] = checked;
  View.ComponentChanged(box);
}

void TVekMainForm::DirectoryMenuClick() {
  std::string folder;
  if (!View.BrowseForFolder("Select dorvella Directory", folder)) return;
  DorPath_ = folder + "\\";
  if (!View.AskYesNo("Dorvellaとの連携の設定", "更新ボタンと連携しますか？")) return;
  // The host browser starts this program from its update button.
  const std::string hostIni = DorPath_ + "Dorvella.ini";
  if (!platform::IniWriteString(hostIni, "mirl", "vek", platform::ExecutablePath())) {
    View.ShowMessage(hostIni + " に書き込めません");
  }
}

void TVekMainForm::SoundNameMenuClick() {
  std::string fileName = SoundName;
  if (View.OpenFileDialog({".wav", "サウンドファイル (*.wav)|*.wav|すべてのファイル (*.*)|*.*", "完了通知音の設定"}, fileName)) {
    SoundName = fileName;
  }
}

void TVekMainForm::IconMenuClick() {
  std::string fileName = IconName;
  if (View.OpenFileDialog({".ico", "アイコンファイル (*.ico)|*.ico|すべてのファイル (*.*)|*.*", "アイコンの設定"}, fileName)) {
    SetIconFile(fileName);
  }
}

void TVekMainForm::NewIdxMenuClick() {
  // A cancelled box leaves the text as it was, which still gets the extension.
  std::string name = NewIdxName;
  View.InputQuery("新着倉庫名の設定", "新着倉庫名", name);
  NewIdxName = ChangeFileExt(name, ".idx");
}

void TVekMainForm::ProxyMenuClick() {
  std::string proxy = Proxy;
  if (View.InputQuery("Setting", "Proxy Server", proxy)) Proxy = proxy;
}

void TVekMainForm::CheckEveryMenuClick() {
  std::string text = std::to_string(CheckEvery);
  if (!View.InputQuery("定期チェックの設定", "チェックの間隔（分、0 でしない）", text)) return;
  int minutes = 0;
  if (!TryStrToInt(text, minutes) || minutes < 0 || minutes > MaxCheckEvery) {
    View.ShowMessage("0 から " + std::to_string(MaxCheckEvery) + " までの分数を入れてください");
    return;
  }
  CheckEvery = minutes;
  if (CheckEvery > 0) return ArmPeriodicCheck(false);
  Timer.Enabled = false;
  View.StopTimer();
}

void TVekMainForm::QuitMenuClick() { View.Close(); }

void TVekMainForm::InitNewReportMenuClick() { InitNewReport(RunContext()); }

}  // namespace vek
