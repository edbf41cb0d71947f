// The main window: a view of TVekMainForm that mirrors the form's components
// into real Win32 controls (menu bar, three buttons, index selector, log pane,
// ignore list view, status bar), keeps the tray icon, and turns the user's
// clicks and the program's own messages into the form's commands. Sizes and
// fonts follow the display scaling of the window's monitor. Everything runs
// on the thread that created the window.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/VekMainForm.h"
#include "shell/VekView.h"
#include "shell/win32/Dpi.h"
#include "shell/win32/Handles.h"
#include "shell/win32/TrayIcon.h"

namespace vek::win32 {

// Posted by a second start of the program.
constexpr UINT WM_STARTCHECK = WM_APP + 200;
// The one-shot timer that starts a check (WM_TIMER's identifier).
constexpr UINT_PTR CheckTimerId = 1;
constexpr wchar_t MainClassName[] = L"TVekMainForm";

class TVekWindow : public IVekView {
 public:
  TVekWindow();
  ~TVekWindow() override;
  TVekWindow(const TVekWindow&) = delete;
  TVekWindow& operator=(const TVekWindow&) = delete;

  // Creates the window and its controls from the form's components, runs the
  // form's start-up (args: the command line after the program name; appPath
  // as FormCreate takes it), restores the placement and shows the window
  // unless "MinStart" is on.
  void Create(TVekMainForm& form, const std::vector<std::string>& args, const std::string& appPath = "");
  // Routes one message of the loop (the F9 accelerator included).
  void Dispatch(MSG& msg);
  // Runs the message loop until the window is closed.
  int Run();

  HWND Handle() const { return Hwnd_; }
  HWND TrayWindow() const { return Tray_ ? Tray_->Window() : nullptr; }
  int TrayImage() const { return Tray_ ? Tray_->Image() : TrayOwnIcon; }
  HMENU MenuBar() const { return MenuBar_.get(); }
  // The display scaling the window is laid out for (96 = 100 %).
  UINT Dpi() const { return Dpi_; }
  // The control that shows a component, and the command identifier of a menu
  // item (0 for a top-level menu); for tests and screenshots.
  HWND ControlOf(const TComponent& component) const;
  UINT CommandIdOf(const TMenuItem& item) const;
  // True while a command is being carried out (a run pumps messages meanwhile).
  bool Busy() const { return Busy_ > 0; }

  // --- IVekView ---
  void ComponentChanged(const TComponent& component) override;
  void LogLineAdded(const std::string& line) override;
  void LogLineAppended(const std::string& text) override;
  void LogLinesRemoved(size_t first, size_t count) override;
  void SetApplicationTitle(const std::string& title) override;
  void SetStatusText(const std::string& text) override;
  void SetTrayImage(int image) override;
  bool SetApplicationIcon(const std::string& fileName) override;
  void RemoveTrayIcon() override;
  void ShowNotice(const std::string& title, const std::string& text) override;
  bool StaysOpen() const override { return true; }
  bool StartsWithWindows() const override;
  bool SetStartWithWindows(bool on) override;
  // The shell added the tray icon (it is in the notification area).
  bool TrayShown() const { return Tray_ && Tray_->Shown(); }
  void ProcessMessages() override;
  void ArmTimer(unsigned milliseconds) override;
  void StopTimer() override;
  void OpenDocument(const std::string& path) override;
  void PlaySound(const std::string& name, bool wait) override;
  void ShowMessage(const std::string& text) override;
  void Close() override;
  bool BrowseForFolder(const std::string& caption, std::string& folder) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  bool OpenFileDialog(const TOpenDialogOptions& options, std::string& fileName) override;
  bool InputQuery(const std::string& caption, const std::string& prompt, std::string& text) override;

 private:
  struct TMenuEntry {
    TMenuItem* Item;
    HMENU Parent;
    UINT Id;          // 0 for a top-level menu
    int Position;     // position of a top-level menu in the bar
    std::function<void()> Command;
    TMenuItem* Top;   // the top-level menu holding the item
  };
  struct TButtonEntry {
    TButton* Button;
    HWND Hwnd;
    std::function<void()> Command;
  };

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  using TMenuItems = std::vector<std::pair<TMenuItem*, std::function<void()>>>;
  std::vector<std::pair<TMenuItem*, TMenuItems>> MenuLayout();
  void BuildMenu();
  void Layout();
  int Scaled(int designPixels) const { return win32::Scaled(designPixels, Dpi_); }
  // Fonts and icons for Dpi_, handed to the controls and the window.
  void ApplyDpi();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  bool LoadIcons(const std::wstring& file);
  void OnCommand(UINT id, UINT code, HWND control);
  void OnNotify(const NMHDR& header);
  // Carries out a command: its exceptions are shown in a message box, and a
  // close asked for meanwhile happens once it has returned.
  // A command the timer started (attended false) shows no message box: its
  // errors are in the log, the status bar and the balloon.
  void Perform(const std::function<void()>& command, bool attended = true);
  void RunCommand(void (TVekMainForm::*command)(), bool attended = true);
  void Shutdown();
  // Log-off or shutdown (WM_ENDSESSION): the exit sequence now, once; a
  // check under way is abandoned as a kill would (shell/win32/SessionEnd.cpp).
  void EndSession();
  // The end of the session and the wake from sleep; false for other messages.
  bool OnSystemMessage(UINT message, WPARAM wParam, LRESULT& result);
  void ScaleDefaultSize();
  void ApplyPlacement();
  void ReadPlacement();
  void MirrorMenuItem(const TMenuEntry& entry);
  void MirrorComboBox();
  void MirrorCheckListBox();
  // Adds text to the log pane, at once or with the next bunch.
  void AppendLogText(const std::wstring& text);
  void FlushLogText() const;

  TVekMainForm* Form_ = nullptr;
  HWND Hwnd_ = nullptr;
  TMenu MenuBar_;
  TAccelerators Accelerators_;
  HWND Memo_ = nullptr;
  HWND CheckList_ = nullptr;
  HWND Combo_ = nullptr;
  HWND StatusBar_ = nullptr;
  UINT Dpi_ = DesignDpi;
  TFont Font_;
  TFont FixedFont_;
  // The window's and the tray's icon at the window's scaling: from the file
  // chosen with "IconName", else the program's own.
  std::wstring IconFile_;
  TIcon Icon_;
  TIcon SmallIcon_;
  TIcon TrayIcon_;  // at the notification area's size, which the window's monitor does not change
  std::unique_ptr<TTrayIcon> Tray_;
  std::vector<TMenuEntry> Menus_;
  std::vector<TButtonEntry> Buttons_;
  size_t LogLines_ = 0;
  // Log text on its way to the pane, the tick of the last bunch and the wait
  // before the next one. Changed by const readers of the pane too.
  mutable std::wstring PendingLog_;
  mutable DWORD LastLogBunch_ = 0;
  mutable DWORD LogBunchWait_ = 0;
  mutable bool LogTimerArmed_ = false;
  int Busy_ = 0;
  bool CloseRequested_ = false;
  bool Mirroring_ = false;
  bool Destroyed_ = false;
  bool SessionEnded_ = false;  // the exit sequence ran at the end of the session
};

}  // namespace vek::win32
