// The bounded log, the wake from sleep and the start with Windows.
#include "shell/TrayLife.h"

#include "check/NextCheck.h"
#include "shell/VekMainForm.h"

namespace vek {

size_t LogLinesToDrop(const std::vector<std::string>& lines, const std::vector<size_t>& runStarts, size_t bound) {
  size_t total = 0;
  for (const std::string& line : lines) total += line.size() + 2;
  if (total <= bound || runStarts.size() < 2) return 0;
  const size_t first = runStarts.front();
  size_t dropped = 0;
  size_t line = first;
  for (size_t k = 1; k < runStarts.size(); ++k) {
    for (; line < runStarts[k] && line < lines.size(); ++line) dropped += lines[line].size() + 2;
    if (total - dropped <= bound) break;
  }
  return line - first;
}

uint32_t ResumeDelay(uint32_t armedTick, uint32_t interval, uint32_t now) {
  // Unsigned differences: a wrap of the tick counter does no harm.
  const uint32_t elapsed = now - armedTick;
  const uint32_t remaining = elapsed >= interval ? 0 : interval - elapsed;
  return remaining >= ResumeGrace ? 0 : ResumeGrace;
}

void TVekMainForm::KeepLogWithinBound() {
  const size_t drop = LogLinesToDrop(LogMemo.Lines, LogRunStarts_, LogBound);
  if (drop == 0) return;
  const size_t first = LogRunStarts_.front();
  LogMemo.Lines.erase(LogMemo.Lines.begin() + static_cast<std::ptrdiff_t>(first),
                      LogMemo.Lines.begin() + static_cast<std::ptrdiff_t>(first + drop));
  std::vector<size_t> kept;
  for (size_t start : LogRunStarts_)
    if (start >= first + drop) kept.push_back(start - drop);
  LogRunStarts_ = std::move(kept);
  View.LogLinesRemoved(first, drop);
}

void TVekMainForm::ResumedFromSleep() {
  // A check under way is stopped, and so is its timer: its downloads time out.
  if (!Timer.Enabled) return;
  const uint32_t delay = ResumeDelay(Timer.ArmedTick, Timer.Interval, Env.TickCount());
  if (delay == 0) return;
  StartCheckTimer(delay);
  AddLogLine(NextCheckLine(Env, delay));
  AddLogLine();
}

void TVekMainForm::StartWithWindowsMenuClick() {
  if (!View.SetStartWithWindows(!StartWithWindowsMenu.Checked)) View.ShowMessage("スタートアップに登録できません");
  SetMenuCheck(StartWithWindowsMenu, View.StartsWithWindows());
}

}  // namespace vek
