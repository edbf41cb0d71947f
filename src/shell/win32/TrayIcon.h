// The icon in the notification area: a hidden window of its own receives the
// shell's mouse messages; a left click, on the icon or on its balloon, brings
// the main window back to the front, nothing else reacts. A shell that
// restarts (and broadcasts "TaskbarCreated") gets the icon again.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <string>

#include "shell/win32/Handles.h"
#include "shell/win32/Pictures.h"

namespace vek::win32 {

constexpr UINT WM_TRAYNOTIFY = WM_APP + 100;

class TTrayIcon {
 public:
  explicit TTrayIcon(HWND mainWindow);
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // The application's icon (the caller keeps owning it), shown again by
  // Show(TrayOwnIcon).
  void SetApplicationIcon(HICON icon);
  // A frame of the progress animation or TrayOwnIcon (check/CheckRun.h); the
  // first call adds the icon to the notification area.
  void Show(int image);
  // A balloon from the icon (code page 932 texts; the shell cuts them to 63
  // and 255 characters). Nothing while the icon is not in the notification area.
  void ShowBalloon(const std::string& title, const std::string& text);
  // Takes the icon out of the notification area and destroys the tray window.
  void Remove();

  HWND Window() const { return Window_; }
  int Image() const { return Image_; }
  bool Shown() const { return Added_; }

 private:
  static LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HICON IconFor(int image);

  HWND Main_;
  HWND Window_ = nullptr;
  NOTIFYICONDATAW Data_{};
  HICON ApplicationIcon_ = nullptr;
  std::array<TIcon, 2 * TrayFrameCount> Frames_;
  bool Added_ = false;   // the shell has it
  bool Wanted_ = false;  // shown once and not removed: added again by a new shell
  int Image_ = TrayOwnIcon;
};

}  // namespace vek::win32
