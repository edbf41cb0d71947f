// Everything the main window's core needs from a window system. The Win32
// window and the console view implement it; tests use a recording view.
#pragma once
#include <cstddef>
#include <string>

#include "shell/Components.h"

namespace vek {

class IVekView {
 public:
  virtual ~IVekView() = default;
  // A component's state changed (caption, check mark, enabled, items...).
  virtual void ComponentChanged(const TComponent& component) = 0;
  // The log pane gained a line (AddLogLine) or its last line grew (AppendToLogLine).
  virtual void LogLineAdded(const std::string& line) = 0;
  virtual void LogLineAppended(const std::string& text) = 0;
  // The oldest lines left the log (count lines from line first on).
  virtual void LogLinesRemoved(size_t first, size_t count) {}
  virtual void SetApplicationTitle(const std::string& title) = 0;
  // A run began or ended (the title and status bar show its progress meanwhile).
  virtual void SetRunUnderWay(bool underWay) {}
  virtual void SetStatusText(const std::string& text) = 0;
  // Tray picture: a frame of the progress animation or TrayOwnIcon, as
  // IRunProgress::SetTrayFrame (check/CheckRun.h) says.
  virtual void SetTrayImage(int image) = 0;
  // The program's icon (window and tray) from an icon file that exists; false
  // when the file is not a valid icon (the view keeps the icon it had).
  virtual bool SetApplicationIcon(const std::string& fileName) { return true; }
  // A short notice from the tray icon (a balloon); a click on it brings the
  // window up. Views without a tray show nothing.
  virtual void ShowNotice(const std::string& title, const std::string& text) {}
  // True for a view that stays open between checks (the window), so that a
  // periodic check has a program to run in; the console ends after one.
  virtual bool StaysOpen() const { return false; }
  // Whether the program starts at log-on, and changing it; false where the
  // platform has no such start (or the change failed).
  virtual bool StartsWithWindows() const { return false; }
  virtual bool SetStartWithWindows(bool on) { return false; }
  // Exit takes the icon out of the notification area.
  virtual void RemoveTrayIcon() {}
  // Processes pending window messages (the run stays responsive meanwhile).
  virtual void ProcessMessages() = 0;
  virtual void ArmTimer(unsigned milliseconds) = 0;
  virtual void StopTimer() = 0;
  // Opens a document with its default program (the console view says where it is).
  virtual void OpenDocument(const std::string& path) = 0;
  // Plays a wave file or a system sound; waits for its end when wait is true.
  virtual void PlaySound(const std::string& name, bool wait) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  // Asks the window to close (ends the program after FormDestroy).
  virtual void Close() = 0;

  // Dialogs the commands ask for. Each answers false when the user cancels;
  // a view without dialogs (the console) refuses them all.
  struct TOpenDialogOptions {
    std::string DefaultExt;  // ".wav"
    std::string Filter;      // "name (*.wav)|*.wav|..." pairs of caption and pattern
    std::string Title;
  };
  // A file-system folder, without a trailing separator.
  virtual bool BrowseForFolder(const std::string& caption, std::string& folder) { return false; }
  virtual bool AskYesNo(const std::string& caption, const std::string& text) { return false; }
  virtual bool OpenFileDialog(const TOpenDialogOptions& options, std::string& fileName) { return false; }
  // An edit box holding text; text is changed only when the user confirms.
  virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& text) { return false; }
};

}  // namespace vek
