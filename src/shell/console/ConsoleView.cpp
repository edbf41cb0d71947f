// The terminal view of the main window.
#include "shell/console/ConsoleView.h"

#include "check/CheckRun.h"
#include "platform/Console.h"
#include "platform/UserPaths.h"

namespace vek {

TConsoleView::TConsoleView() : Progress(platform::StderrIsTerminal()) {}

TConsoleView::~TConsoleView() { Flush(); }

// A line may still grow (AppendToLogLine), so it is written once the next
// line begins or the program ends.
void TConsoleView::LogLineAdded(const std::string& line) {
  Flush();
  OpenLine = line;
  HasOpenLine = true;
}

void TConsoleView::LogLineAppended(const std::string& text) {
  OpenLine += text;
  HasOpenLine = true;
}

void TConsoleView::Flush() {
  if (!HasOpenLine) return;
  ClearProgress();
  platform::WriteStdout(OpenLine + "\n");
  OpenLine.clear();
  HasOpenLine = false;
  if (ShowsProgress()) ShowProgress();
}

// The progress line (title and status) is shown while a run lasts and its
// title names a step.
bool TConsoleView::ShowsProgress() const { return Progress && RunUnderWay && Title != IdleTitle; }

void TConsoleView::SetRunUnderWay(bool underWay) {
  RunUnderWay = underWay;
  if (underWay) return;
  StatusText.clear();
  ClearProgress();
}

void TConsoleView::SetApplicationTitle(const std::string& title) {
  Title = title;
  ShowsProgress() ? ShowProgress() : ClearProgress();
}

void TConsoleView::SetStatusText(const std::string& text) {
  StatusText = text;
  if (ShowsProgress()) ShowProgress();
}

void TConsoleView::ShowProgress() {
  // Carriage return and erase-to-end keep the progress on one line.
  platform::WriteStderr("\r" + Title + (StatusText.empty() ? "" : "  " + StatusText) + "\x1b[K");
  ProgressShown = true;
}

void TConsoleView::ClearProgress() {
  if (!ProgressShown) return;
  platform::WriteStderr("\r\x1b[K");
  ProgressShown = false;
}

void TConsoleView::ArmTimer(unsigned milliseconds) {
  TimerArmed = true;
  TimerInterval = milliseconds;
}

void TConsoleView::OpenDocument(const std::string& path) {
  Flush();
  ClearProgress();
  platform::WriteStderr("vek: the boards that were skipped or failed are listed in " + platform::DisplayPath(path) + "\n");
}

void TConsoleView::ShowMessage(const std::string& text) {
  Flush();
  ClearProgress();
  platform::WriteStderr("vek: " + text + "\n");
}

}  // namespace vek
