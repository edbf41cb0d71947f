// The main window's view for a terminal: log lines go to standard output as
// they are completed, the title and status text show as one progress line on
// standard error when that is a terminal; there is no tray, sound or dialog.
#pragma once
#include <string>

#include "shell/VekView.h"

namespace vek {

class TConsoleView : public IVekView {
 public:
  TConsoleView();
  ~TConsoleView() override;

  void ComponentChanged(const TComponent&) override {}
  void LogLineAdded(const std::string& line) override;
  void LogLineAppended(const std::string& text) override;
  void SetApplicationTitle(const std::string& title) override;
  void SetRunUnderWay(bool underWay) override;
  void SetStatusText(const std::string& text) override;
  void SetTrayImage(int) override {}
  void ProcessMessages() override {}
  void ArmTimer(unsigned milliseconds) override;
  void StopTimer() override { TimerArmed = false; }
  void OpenDocument(const std::string& path) override;
  void PlaySound(const std::string&, bool) override {}
  void ShowMessage(const std::string& text) override;
  void Close() override { CloseRequested = true; }

  // Writes out the line still being completed, if any.
  void Flush();

  bool TimerArmed = false;
  unsigned TimerInterval = 0;
  bool CloseRequested = false;

 private:
  bool ShowsProgress() const;
  void ShowProgress();
  void ClearProgress();

  std::string OpenLine;
  bool HasOpenLine = false;
  bool Progress;
  bool ProgressShown = false;
  std::string Title;
  bool RunUnderWay = false;
  std::string StatusText;
};

}  // namespace vek
