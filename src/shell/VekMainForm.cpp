// The main window's settings accessors, log pane, timer and commands; start-up
// and exit live in FormLifecycle.cpp, the check run in src/check.
#include "shell/VekMainForm.h"

#include <cstdio>

#include "check/CheckRun.h"
#include "check/RunGuard.h"
#include "platform/Clock.h"
#include "platform/Collate.h"
#include "platform/Files.h"
#include "reports/ReportBoards.h"
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
}

// --- boolean settings ---------------------------------------------------------

namespace {
void SetCheck(IVekView& view, TMenuItem& item, bool v) {
  item.Checked = v;
  view.ComponentChanged(item);
}
}  // namespace

void TVekMainForm::SetMinStart(bool v) { SetCheck(View, MinStartMenu, v); }
void TVekMainForm::SetAutoStart(bool v) { SetCheck(View, AutoStartMenu, v); }
void TVekMainForm::SetAutoShutDown(bool v) { SetCheck(View, AutoShutDownMenu, v); }
void TVekMainForm::SetGreedyCheck(bool v) { SetCheck(View, GreedyCheckMenu, v); }
void TVekMainForm::SetNotifySound(bool v) { SetCheck(View, NotifySoundMenu, v); }
void TVekMainForm::SetExternalCheck(bool v) { SetCheck(View, ExternalCheckMenu, v); }
void TVekMainForm::SetAutoDorFin(bool v) { SetCheck(View, AutoDorFinMenu, v); }
void TVekMainForm::SetAutoDorRun(bool v) { SetCheck(View, AutoDorRunMenu, v); }
void TVekMainForm::SetAutoInit(bool v) { SetCheck(View, AutoInitMenu, v); }
void TVekMainForm::SetFailedReport(bool v) { SetCheck(View, FailedReportMenu, v); }

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
  s.Proxy = Proxy;
  s.TimeOutTime = TimeOutTime;
  s.ExternalCheck = ExternalCheck();
  s.GreedyCheck = GreedyCheck();
  s.NotifySound = NotifySound();
  s.FailedReport = FailedReport();
  s.MarkFallen = DatDownMenu.Checked;
  s.IgnoreIdxList = IgnoreIdxList();
  s.IdxType = IdxComboBox.ItemIndex;
  if (IdxType() >= 0 && IdxType() < static_cast<int>(IdxComboBox.Items.size()))
    s.IdxTypeName = IdxComboBox.Items[static_cast<size_t>(IdxType())];
  s.SoundName = SoundName;
  s.IconName = IconName;
  s.BoardExp = BoardExp;
  s.ThreadExp = ThreadExp;
  s.PrimarySuffixes = PrimarySuffixList();
  s.RentalDomains = RentalDomainList();
  s.RentalOldHost = RentalOldHost;
  s.TimerPeriod = TimerPeriod;
  return s;
}

void LogConfiguration(TVekMainForm& form) { LogConfiguration(form.RunContext()); }

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

std::string TVekMainForm::ElapsedText(uint32_t startTick) const {
  // Unsigned difference: a wrap of the tick counter in between does no harm.
  const uint32_t elapsed = Env.TickCount() - startTick;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", elapsed / 1000.0);
  std::string text = buffer;
  const size_t dot = text.find('.');
  if (dot != std::string::npos) text[dot] = platform::DecimalSeparator();
  return text;
}

// --- commands ---------------------------------------------------------------------

void TVekMainForm::RunUpdateCheck() { vek::RunUpdateCheck(*this); }

void TVekMainForm::UpdateCheckMenuClick() { RunUpdateCheck(); }

void TVekMainForm::TimerTimer() { UpdateCheckMenuClick(); }

void TVekMainForm::StartCheckTimer(unsigned milliseconds) {
  if (Timer.Enabled) {
    Timer.Enabled = false;
    View.StopTimer();
  }
  Timer.Interval = milliseconds;
  Timer.Enabled = true;
  View.ArmTimer(milliseconds);
  View.ComponentChanged(Timer);
}

void TVekMainForm::SetComponentEnabled(TComponent& component, bool enabled) {
  component.Enabled = enabled;
  View.ComponentChanged(component);
}

void TVekMainForm::SetRunControlsEnabled(bool enabled) {
  SetComponentEnabled(IgnoreIdxButton, enabled);
  SetComponentEnabled(FileMenu, enabled);
  SetComponentEnabled(ExecuteMenu, enabled);
  SetComponentEnabled(ConfigAMenu, enabled);
  SetComponentEnabled(ConfigBMenu, enabled);
  SetComponentEnabled(ConfigCMenu, enabled);
  SetComponentEnabled(UpdateCheckButton, enabled);
  SetComponentEnabled(IdxComboBox, enabled);
  SetComponentEnabled(InitNewReportButton, enabled);
}

void TVekMainForm::WMStartCheck() {
  // A request that arrives while a run is under way is dropped.
  if (ExecuteMenu.Enabled) StartCheckTimer(1000);
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
  IconName = fileName;
  View.SetApplicationIcon(fileName);
}

void TVekMainForm::QuitMenuClick() { View.Close(); }

void TVekMainForm::InitNewReportMenuClick() { InitNewReport(RunContext()); }

}  // namespace vek
