// The tray window and the notify-icon record.
#include "shell/win32/TrayIcon.h"

#include "platform/Win32System.h"
#include "shell/win32/Dpi.h"
#include "shell/win32/SessionEnd.h"
#include "support/Version.h"

namespace vek::win32 {

namespace {
constexpr wchar_t TrayClassName[] = L"TVekTrayWindow";
constexpr UINT TrayIconId = 1;
// Milliseconds a balloon stays (older shells; newer ones keep their own time).
constexpr UINT BalloonTimeout = 10000;
}  // namespace

// Broadcast by a shell that has (re)started with an empty notification area.
const UINT WM_TASKBARCREATED = RegisterWindowMessageW(L"TaskbarCreated");

namespace {
// Whether the shell has the icon afterwards: an add that fails because the
// icon is already there is a modification.
bool AddOrModify(NOTIFYICONDATAW& data) {
  return Shell_NotifyIconW(NIM_ADD, &data) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}
}  // namespace

TTrayIcon::TTrayIcon(HWND mainWindow) : Main_(mainWindow) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = TrayWndProc;
  wc.hInstance = instance;
  wc.lpszClassName = TrayClassName;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  Window_ = CreateWindowExW(0, TrayClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  SetWindowLongPtrW(Window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // A process that runs elevated hears the shell's restart only when let in.
  AllowMessageFromShell(Window_, WM_TASKBARCREATED);

  Data_.cbSize = NOTIFYICONDATAW_V2_SIZE;
  Data_.hWnd = Window_;
  Data_.uID = TrayIconId;
  Data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  Data_.uCallbackMessage = WM_TRAYNOTIFY;
  const std::wstring tip = platform::win32::Wide(UserAgentText);
  lstrcpynW(Data_.szTip, tip.c_str(), ARRAYSIZE(Data_.szTip));
}

TTrayIcon::~TTrayIcon() { Remove(); }

LRESULT CALLBACK TTrayIcon::TrayWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TTrayIcon*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && message == WM_TASKBARCREATED) {
    // The new shell knows no icon of ours: without it a hidden window could
    // not be reached any more.
    // A shell that was not there yet at start-up gets it now. Any program may
    // broadcast the message while the icon exists: then it is modified.
    if (self->Wanted_) self->Added_ = AddOrModify(self->Data_);
    return 0;
  }
  if (!self || message != WM_TRAYNOTIFY) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (lParam == WM_LBUTTONDOWN || lParam == NIN_BALLOONUSERCLICK) {
    HWND main = self->Main_;
    ShowWindow(main, SW_SHOW);
    if (IsIconic(main)) ShowWindow(main, SW_RESTORE);
    SetForegroundWindow(main);
  }
  return 0;
}

void TTrayIcon::SetApplicationIcon(HICON icon) {
  ApplicationIcon_ = icon;
  if (Added_ && Image_ == TrayOwnIcon) Show(TrayOwnIcon);
}

HICON TTrayIcon::IconFor(int image) {
  if (image < 0 || image >= static_cast<int>(Frames_.size())) return ApplicationIcon_;
  // Drawn on first use and kept until exit: a run shows each at most once per board.
  TIcon& frame = Frames_[static_cast<size_t>(image)];
  if (!frame) frame.reset(CreateProgressIcon(image, TrayIconSize()));
  return frame.get();
}

void TTrayIcon::Show(int image) {
  if (!Window_) return;
  Image_ = image;
  Wanted_ = true;
  Data_.hIcon = IconFor(image);
  // A modification the shell refuses (the icon is gone) adds it again.
  if (!Added_ || !Shell_NotifyIconW(NIM_MODIFY, &Data_)) Added_ = AddOrModify(Data_);
}

void TTrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
  if (Window_ && Wanted_ && !Added_) Show(Image_);
  if (!Window_ || !Added_) return;
  // The balloon's fields go with this one call only: the animation's later
  // changes of the icon must not show it again.
  Data_.uFlags |= NIF_INFO;
  lstrcpynW(Data_.szInfoTitle, platform::win32::Wide(title).c_str(), ARRAYSIZE(Data_.szInfoTitle));
  lstrcpynW(Data_.szInfo, platform::win32::Wide(text).c_str(), ARRAYSIZE(Data_.szInfo));
  Data_.uTimeout = BalloonTimeout;
  Data_.dwInfoFlags = NIIF_INFO;
  Shell_NotifyIconW(NIM_MODIFY, &Data_);
  Data_.uFlags &= ~NIF_INFO;
  Data_.szInfoTitle[0] = L'\0';
  Data_.szInfo[0] = L'\0';
}

void TTrayIcon::Remove() {
  if (Added_) Shell_NotifyIconW(NIM_DELETE, &Data_);
  Added_ = Wanted_ = false;
  if (Window_) DestroyWindow(Window_);
  Window_ = nullptr;
}

}  // namespace vek::win32
