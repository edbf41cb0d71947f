// The main window's controls, menus, messages and placement.
#include "shell/win32/VekWindow.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/Files.h"
#include "platform/Win32System.h"
#include "shell/Settings.h"
#include "shell/win32/Dialogs.h"
#include "shell/win32/Pictures.h"

// mmsystem.h names the W function by the view's method name.
#undef PlaySound

namespace vek::win32 {

using platform::win32::Narrow;
using platform::win32::Wide;
using platform::win32::WidePath;

namespace {

constexpr UINT_PTR LogTimerId = 2;
// Adding text to the log pane repaints it, and under Wine a repaint costs tens
// of milliseconds however little is added. Lines that arrive close together
// reach the pane in bunches: at most one bunch every 200 ms, and never more
// often than leaves the pane a sixtieth of the time (59 times the last
// bunch's cost between two bunches).
constexpr DWORD LogBunchInterval = 200;
constexpr DWORD LogBunchCostShare = 59;
constexpr UINT FirstMenuId = 100;
constexpr UINT FirstButtonId = 1001;
constexpr UINT ComboId = 1010;
constexpr int ToolPanelHeight = 27;
constexpr DWORD MainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
// The tool panel's row at 100 %: three buttons and the index selector.
constexpr int ButtonLeft[] = {1, 96, 192};
constexpr int ButtonWidth = 89;
constexpr int ButtonHeight = 23;
constexpr RECT ComboPlace{288, 2, 288 + 145, 2 + 240};  // the height is the open list's
constexpr int DesignFontHeight = 12;

HFONT CreateJapaneseFont(const wchar_t* face, DWORD pitch, int height) {
  return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, face);
}

// The read-only log pane keeps the window colour of an edit field.
LRESULT EditFieldColors(HDC dc) {
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

HICON LoadIconFile(const std::wstring& path, int size) {
  return static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
}

void SetFont(HWND control, HFONT font) { SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE); }

}  // namespace

TVekWindow::TVekWindow() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
}

// Fonts, icons and the menu go with their owners, after the window.
TVekWindow::~TVekWindow() {
  Tray_.reset();
  if (Hwnd_ && !Destroyed_) {
    Destroyed_ = true;
    DestroyWindow(Hwnd_);
  }
}

// --- creation ---------------------------------------------------------------------

// The menu bar as the form names it: each popup with its items and the
// command each one runs (nullptr: a separator).
std::vector<std::pair<TMenuItem*, TVekWindow::TMenuItems>> TVekWindow::MenuLayout() {
  TVekMainForm& f = *Form_;
  auto check = [&f](TMenuItem& item) { return [&f, &item] { f.CheckMenuClick(item); }; };
  return {
      {&f.FileMenu, {{&f.QuitMenu, [&f] { f.QuitMenuClick(); }}}},
      {&f.ExecuteMenu,
       {{&f.UpdateCheckMenu, [this] { RunCommand(&TVekMainForm::UpdateCheckMenuClick); }},
        {&f.InitNewReportMenu, [&f] { f.InitNewReportMenuClick(); }},
        {nullptr, {}},
        {&f.RunDorMenu, [&f] { f.StartHostBrowser(); }},
        {&f.FinDorMenu, [&f] { f.CloseHostBrowser(); }},
        {nullptr, {}},
        // A stop of the backup is an exception: shown in a message box.
        {&f.BackupMenu, [&f] { f.BackupMenuClick(); }},
        {&f.DatDownMenu, check(f.DatDownMenu)}}},
      {&f.ConfigAMenu,
       {{&f.DirectoryMenu, [&f] { f.DirectoryMenuClick(); }},
        {&f.SoundNameMenu, [&f] { f.SoundNameMenuClick(); }},
        {&f.NewIdxMenu, [&f] { f.NewIdxMenuClick(); }},
        {&f.IconMenu, [&f] { f.IconMenuClick(); }},
        {nullptr, {}},
        {&f.NotifySoundMenu, check(f.NotifySoundMenu)},
        {&f.GreedyCheckMenu, check(f.GreedyCheckMenu)}}},
      {&f.ConfigBMenu,
       {{&f.ProxyMenu, [&f] { f.ProxyMenuClick(); }},
        {&f.CheckEveryMenu, [&f] { f.CheckEveryMenuClick(); }},
        {&f.IgnoreIdxMenu, [&f] { f.IgnoreIdxMenuClick(); }},
        {nullptr, {}},
        {&f.MinStartMenu, check(f.MinStartMenu)},
        {&f.AutoStartMenu, check(f.AutoStartMenu)},
        {&f.AutoShutDownMenu, check(f.AutoShutDownMenu)},
        {&f.NotifyBalloonMenu, check(f.NotifyBalloonMenu)},
        {&f.NextThreadReportMenu, check(f.NextThreadReportMenu)},
        {&f.ExternalCheckMenu, check(f.ExternalCheckMenu)},
        {&f.StartWithWindowsMenu, [&f] { f.StartWithWindowsMenuClick(); }}}},
      {&f.ConfigCMenu,
       {{&f.AutoDorFinMenu, check(f.AutoDorFinMenu)},
        {&f.AutoDorRunMenu, check(f.AutoDorRunMenu)},
        {&f.AutoInitMenu, check(f.AutoInitMenu)},
        {&f.FailedReportMenu, check(f.FailedReportMenu)},
        {&f.ConditionalGetMenu, check(f.ConditionalGetMenu)}}},
  };
}

void TVekWindow::BuildMenu() {
  TVekMainForm& f = *Form_;
  const auto layout = MenuLayout();
  MenuBar_.reset(CreateMenu());
  UINT nextId = FirstMenuId;
  int position = 0;
  for (const auto& [top, items] : layout) {
    HMENU popup = CreatePopupMenu();
    for (const auto& [item, command] : items) {
      if (!item) {
        AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      const UINT id = nextId++;
      AppendMenuW(popup, MF_STRING, id, L"");
      Menus_.push_back({item, popup, id, -1, command, top});
    }
    AppendMenuW(MenuBar_.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"");
    Menus_.push_back({top, MenuBar_.get(), 0, position++, {}, nullptr});
  }
  ACCEL f9{FVIRTKEY, VK_F9, static_cast<WORD>(CommandIdOf(f.UpdateCheckMenu))};
  Accelerators_.reset(CreateAcceleratorTableW(&f9, 1));
}

void TVekWindow::CreateControls() {
  TVekMainForm& f = *Form_;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto child = [&](DWORD exStyle, const wchar_t* cls, DWORD style, int x, int y, int w, int h, UINT id) {
    return CreateWindowExW(exStyle, cls, L"", WS_CHILD | style, x, y, w, h, Hwnd_,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
  };
  // The tool panel's row: three buttons and the index selector.
  const std::vector<std::pair<TButton*, std::function<void()>>> buttons = {
      {&f.UpdateCheckButton, [this] { RunCommand(&TVekMainForm::UpdateCheckMenuClick); }},
      {&f.IgnoreIdxButton, [&f] { f.IgnoreIdxMenuClick(); }},
      {&f.InitNewReportButton, [&f] { f.InitNewReportMenuClick(); }},
  };
  // Placed by Layout, at the window's scaling.
  for (size_t i = 0; i < buttons.size(); ++i) {
    HWND hwnd = child(0, L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 10, 10,
                      FirstButtonId + static_cast<UINT>(i));
    Buttons_.push_back({buttons[i].first, hwnd, buttons[i].second});
  }
  Combo_ = child(0, L"COMBOBOX", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 10, 10, ComboId);

  Memo_ = child(WS_EX_CLIENTEDGE, L"EDIT",
                WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 0, 0, 10,
                10, 0);
  // A long-running program gathers many lines: no limit but memory.
  SendMessageW(Memo_, EM_SETLIMITTEXT, 0, 0);

  CheckList_ = child(WS_EX_CLIENTEDGE, WC_LISTVIEWW,
                     LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 10, 10, 0);
  ListView_SetExtendedListViewStyle(CheckList_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 10;
  SendMessageW(CheckList_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

  StatusBar_ = child(0, STATUSCLASSNAMEW, WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 19, 0);
}

// --- display scaling -------------------------------------------------------------

void TVekWindow::ApplyDpi() {
  // The new fonts reach every control before the old ones go.
  TFont font(CreateJapaneseFont(L"ＭＳ Ｐゴシック", VARIABLE_PITCH | FF_SWISS, Scaled(DesignFontHeight)));
  TFont fixed(CreateJapaneseFont(L"ＭＳ ゴシック", FIXED_PITCH | FF_MODERN, Scaled(DesignFontHeight)));
  for (const TButtonEntry& entry : Buttons_) SetFont(entry.Hwnd, font.get());
  for (HWND control : {Combo_, CheckList_, StatusBar_}) SetFont(control, font.get());
  SetFont(Memo_, fixed.get());
  Font_ = std::move(font);
  FixedFont_ = std::move(fixed);
  // An icon file that no longer loads leaves the icons as they were.
  if (!LoadIcons(IconFile_)) LoadIcons(L"");
}

void TVekWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
  Dpi_ = dpi;
  ApplyDpi();
  SetWindowPos(Hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();
}

bool TVekWindow::LoadIcons(const std::wstring& file) {
  const int big = SystemMetricForDpi(SM_CXICON, Dpi_), small = SystemMetricForDpi(SM_CXSMICON, Dpi_);
  TIcon bigIcon(file.empty() ? LoadProgramIcon(big) : LoadIconFile(file, big));
  TIcon smallIcon(file.empty() ? LoadProgramIcon(small) : LoadIconFile(file, small));
  TIcon trayIcon(file.empty() ? LoadProgramIcon(TrayIconSize()) : LoadIconFile(file, TrayIconSize()));
  if (!bigIcon || !smallIcon || !trayIcon) return false;
  SendMessageW(Hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
  SendMessageW(Hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
  if (Tray_) Tray_->SetApplicationIcon(trayIcon.get());
  Icon_ = std::move(bigIcon);
  SmallIcon_ = std::move(smallIcon);
  TrayIcon_ = std::move(trayIcon);
  IconFile_ = file;
  return true;
}

void TVekWindow::Create(TVekMainForm& form, const std::vector<std::string>& args, const std::string& appPath) {
  Form_ = &form;
  // The system's scaling until the window knows its monitor's.
  Dpi_ = SystemDpi();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  // Shared resource icons live as long as the program; the window sets its
  // own at its scaling (a program without the resource draws them).
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = MainClassName;
  RegisterClassExW(&wc);  // already registered by an earlier window of this process: fine

  BuildMenu();
  Hwnd_ = CreateWindowExW(0, MainClassName, L"VEK", MainStyle, form.WindowLeft, form.WindowTop, form.WindowWidth,
                          form.WindowHeight, nullptr, MenuBar_.get(), instance, this);
  // Its monitor's scaling, which may differ from the system's.
  Dpi_ = WindowDpi(Hwnd_);
  CreateControls();
  Tray_ = std::make_unique<TTrayIcon>(Hwnd_);
  ApplyDpi();
  for (const TMenuEntry& entry : Menus_) MirrorMenuItem(entry);
  for (const TButtonEntry& entry : Buttons_) ComponentChanged(*entry.Button);
  ComponentChanged(form.LogMemo);
  ComponentChanged(form.IgnoreIdxCheckListBox);
  ComponentChanged(form.IdxComboBox);

  ++Busy_;
  try {
    form.FormCreate(args, appPath);
  } catch (const std::exception& e) {
    // The program keeps running with what start-up got done.
    ShowMessage(e.what());
  }
  --Busy_;
  ScaleDefaultSize();
  ApplyPlacement();
  Layout();
}

// --- placement ----------------------------------------------------------------------

void TVekWindow::ScaleDefaultSize() {
  // The settings' default size is in pixels at 100 %; a size vek.ini holds
  // is the window's own and stays as it is.
  const std::string iniName = Form_->Paths().IniFileName();
  auto stored = [&iniName](const char* key) {
    std::string text;
    return ReadStoredSetting(iniName, *FindSetting("Window", key), text);
  };
  if (!stored("Width")) Form_->WindowWidth = Scaled(Form_->WindowWidth);
  if (!stored("Height")) Form_->WindowHeight = Scaled(Form_->WindowHeight);
}

void TVekWindow::ApplyPlacement() {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(Hwnd_, &wp);
  const TVekMainForm& f = *Form_;
  wp.rcNormalPosition = {f.WindowLeft, f.WindowTop, f.WindowLeft + f.WindowWidth, f.WindowTop + f.WindowHeight};
  // Started hidden, the window comes back through the tray icon.
  wp.showCmd = f.StartsHidden() ? SW_HIDE : (f.WindowMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  wp.flags = f.WindowMaximized ? WPF_RESTORETOMAXIMIZED : 0;
  SetWindowPlacement(Hwnd_, &wp);
  if (f.StartsHidden() && f.WindowMaximized) {
    // Shown maximised when the tray icon brings it back.
    ShowWindow(Hwnd_, SW_SHOWMAXIMIZED);
    ShowWindow(Hwnd_, SW_HIDE);
  }
}

void TVekWindow::ReadPlacement() {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!GetWindowPlacement(Hwnd_, &wp)) return;
  TVekMainForm& f = *Form_;
  // A window minimised (and so hidden) from the maximised state is still maximised.
  f.WindowMaximized = IsZoomed(Hwnd_) || (IsIconic(Hwnd_) && (wp.flags & WPF_RESTORETOMAXIMIZED));
  f.WindowLeft = wp.rcNormalPosition.left;
  f.WindowTop = wp.rcNormalPosition.top;
  f.WindowWidth = wp.rcNormalPosition.right - wp.rcNormalPosition.left;
  f.WindowHeight = wp.rcNormalPosition.bottom - wp.rcNormalPosition.top;
}

void TVekWindow::Layout() {
  for (size_t i = 0; i < Buttons_.size(); ++i)
    MoveWindow(Buttons_[i].Hwnd, Scaled(ButtonLeft[i]), 0, Scaled(ButtonWidth), Scaled(ButtonHeight), TRUE);
  MoveWindow(Combo_, Scaled(ComboPlace.left), Scaled(ComboPlace.top), Scaled(ComboPlace.right - ComboPlace.left),
             Scaled(ComboPlace.bottom - ComboPlace.top), TRUE);
  RECT client{};
  GetClientRect(Hwnd_, &client);
  // The status bar takes its height from its font.
  SendMessageW(StatusBar_, WM_SIZE, 0, 0);
  RECT status{};
  GetWindowRect(StatusBar_, &status);
  const int top = Scaled(ToolPanelHeight);
  const int width = client.right;
  const int height = std::max(0, static_cast<int>(client.bottom - top - (status.bottom - status.top)));
  MoveWindow(Memo_, 0, top, width, height, TRUE);
  MoveWindow(CheckList_, 0, top, width, height, TRUE);
  const int column = width - SystemMetricForDpi(SM_CXVSCROLL, Dpi_) - Scaled(4);
  ListView_SetColumnWidth(CheckList_, 0, std::max(column, Scaled(40)));
}

// --- messages -------------------------------------------------------------------------

LRESULT CALLBACK TVekWindow::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<TVekWindow*>(create->lpCreateParams)->Hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<TVekWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->Form_) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT TVekWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (LRESULT result; OnSystemMessage(message, wParam, result)) return result;
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<NMHDR*>(lParam));
      return 0;
    case WM_TIMER:
      if (wParam == LogTimerId) FlushLogText();
      // A run or a dialog is under way: the timer stays armed and fires again.
      if (wParam == CheckTimerId && !Busy() && !SessionEnded_) RunCommand(&TVekMainForm::TimerTimer, false);
      return 0;
    case WM_STARTCHECK:
      Form_->WMStartCheck();
      return 0;
    case WM_SIZE:
      // Minimising hides the window; the tray icon brings it back.
      if (wParam == SIZE_MINIMIZED) {
        ShowWindow(Hwnd_, SW_HIDE);
      } else if (StatusBar_) {
        Layout();
      }
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == Memo_) return EditFieldColors(reinterpret_cast<HDC>(wParam));
      break;
    case WM_CLOSE:
      // The stack of a run (or of a dialog) still uses the window.
      if (Busy()) {
        CloseRequested_ = true;
      } else {
        Shutdown();
      }
      return 0;
    case WM_DPICHANGED:
      // Moved to a monitor of another scaling: the size Windows suggests.
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY:
      SetMenu(Hwnd_, nullptr);  // MenuBar_ destroys it
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(Hwnd_, message, wParam, lParam);
}

void TVekWindow::OnCommand(UINT id, UINT code, HWND control) {
  if (control == Combo_) {
    if (code == CBN_SELCHANGE) {
      Form_->SetIdxType(static_cast<int>(SendMessageW(Combo_, CB_GETCURSEL, 0, 0)));
    }
    return;
  }
  for (const TButtonEntry& entry : Buttons_) {
    if (control && control == entry.Hwnd) {
      if (code == BN_CLICKED && entry.Button->Enabled) Perform(entry.Command);
      return;
    }
  }
  for (const TMenuEntry& entry : Menus_) {
    if (entry.Id == 0 || entry.Id != id) continue;
    // F9 reaches here even while its menu is disabled.
    const bool enabled = entry.Item->Enabled && (!entry.Top || entry.Top->Enabled);
    if (enabled && entry.Command) Perform(entry.Command);
    return;
  }
}

void TVekWindow::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != CheckList_ || header.code != LVN_ITEMCHANGED || Mirroring_) return;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  if (!(change.uChanged & LVIF_STATE) || !((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK)) return;
  if (change.iItem < 0) return;
  Form_->SetIgnoreIdxChecked(change.iItem, ListView_GetCheckState(CheckList_, change.iItem) != FALSE);
}

void TVekWindow::Perform(const std::function<void()>& command, bool attended) {
  ++Busy_;
  try {
    command();
  } catch (const std::exception& e) {
    if (attended) ShowMessage(e.what());
    if (!attended) Form_->AddLogLine(std::string("ERROR: ") + e.what());
  }
  --Busy_;
  if (!Busy() && CloseRequested_) {
    CloseRequested_ = false;
    PostMessageW(Hwnd_, WM_CLOSE, 0, 0);
  }
}

void TVekWindow::RunCommand(void (TVekMainForm::*command)(), bool attended) {
  Perform([this, command, attended] {
    (Form_->*command)();
    // The run logged its error and went back to idle; the user who started
    // it sees it too.
    if (attended && Form_->LastRun().Outcome == TRunOutcome::Failed) ShowMessage(Form_->LastRun().Error);
  }, attended);
}

void TVekWindow::Shutdown() {
  if (Destroyed_) return;
  ReadPlacement();
  if (!SessionEnded_) Form_->FormDestroy();
  Destroyed_ = true;
  DestroyWindow(Hwnd_);
}

void TVekWindow::Dispatch(MSG& msg) {
  if (Accelerators_ && !Destroyed_ && TranslateAcceleratorW(Hwnd_, Accelerators_.get(), &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int TVekWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

void TVekWindow::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // For the loop that owns the program.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

// --- mirroring the components -----------------------------------------------------------

HWND TVekWindow::ControlOf(const TComponent& component) const {
  if (&component == &Form_->LogMemo) {
    FlushLogText();  // whoever looks at the pane sees every line
    return Memo_;
  }
  if (&component == &Form_->IgnoreIdxCheckListBox) return CheckList_;
  if (&component == &Form_->IdxComboBox) return Combo_;
  if (&component == &Form_->MainStatusBar) return StatusBar_;
  for (const TButtonEntry& entry : Buttons_)
    if (entry.Button == &component) return entry.Hwnd;
  return nullptr;
}

UINT TVekWindow::CommandIdOf(const TMenuItem& item) const {
  for (const TMenuEntry& entry : Menus_)
    if (entry.Item == &item) return entry.Id;
  return 0;
}

void TVekWindow::MirrorMenuItem(const TMenuEntry& entry) {
  const TMenuItem& item = *entry.Item;
  std::wstring caption = Wide(item.Caption);
  if (&item == &Form_->UpdateCheckMenu) caption += L"\tF9";
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_STATE;
  info.dwTypeData = caption.data();
  info.fState = (item.Checked ? MFS_CHECKED : 0u) | (item.Enabled ? 0u : MFS_DISABLED);
  if (entry.Id == 0) {
    SetMenuItemInfoW(entry.Parent, static_cast<UINT>(entry.Position), TRUE, &info);
    if (Hwnd_) DrawMenuBar(Hwnd_);
  } else {
    SetMenuItemInfoW(entry.Parent, entry.Id, FALSE, &info);
  }
}

void TVekWindow::MirrorComboBox() {
  const TComboBox& combo = Form_->IdxComboBox;
  SendMessageW(Combo_, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : combo.Items)
    SendMessageW(Combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  SendMessageW(Combo_, CB_SETCURSEL, static_cast<WPARAM>(combo.ItemIndex), 0);
  EnableWindow(Combo_, combo.Enabled);
}

void TVekWindow::MirrorCheckListBox() {
  const TCheckListBox& box = Form_->IgnoreIdxCheckListBox;
  Mirroring_ = true;
  if (ListView_GetItemCount(CheckList_) != static_cast<int>(box.Items.size())) {
    ListView_DeleteAllItems(CheckList_);
    for (size_t i = 0; i < box.Items.size(); ++i) {
      std::wstring text = Wide(box.Items[i]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(i);
      item.pszText = text.data();
      SendMessageW(CheckList_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
  }
  for (size_t i = 0; i < box.Items.size(); ++i) {
    const bool checked = i < box.Checked.size() && box.Checked[i];
    ListView_SetCheckState(CheckList_, static_cast<UINT>(i), checked);
  }
  Mirroring_ = false;
  EnableWindow(CheckList_, box.Enabled);
  ShowWindow(CheckList_, box.Visible ? SW_SHOW : SW_HIDE);
}

void TVekWindow::ComponentChanged(const TComponent& component) {
  if (!Hwnd_ || Destroyed_) return;
  for (const TMenuEntry& entry : Menus_) {
    if (entry.Item == &component) return MirrorMenuItem(entry);
  }
  for (const TButtonEntry& entry : Buttons_) {
    if (entry.Button == &component) {
      SetWindowTextW(entry.Hwnd, Wide(entry.Button->Caption).c_str());
      EnableWindow(entry.Hwnd, entry.Button->Enabled);
      ShowWindow(entry.Hwnd, entry.Button->Visible ? SW_SHOW : SW_HIDE);
      return;
    }
  }
  if (&component == &Form_->IdxComboBox) return MirrorComboBox();
  if (&component == &Form_->IgnoreIdxCheckListBox) return MirrorCheckListBox();
  if (&component == &Form_->LogMemo) ShowWindow(Memo_, component.Visible ? SW_SHOW : SW_HIDE);
}

// --- log pane, title, status bar ------------------------------------------------------------

void TVekWindow::AppendLogText(const std::wstring& text) {
  PendingLog_ += text;
  const DWORD now = GetTickCount();
  // Unsigned difference: a wrap of the tick counter in between does no harm.
  if (now - LastLogBunch_ >= LogBunchWait_) return FlushLogText();
  // The timer brings the bunch when no further line comes; armed once a bunch,
  // as every call to the system costs under Wine.
  if (!LogTimerArmed_) SetTimer(Hwnd_, LogTimerId, LogBunchWait_ - (now - LastLogBunch_), nullptr);
  LogTimerArmed_ = true;
}

void TVekWindow::FlushLogText() const {
  if (PendingLog_.empty() || !Memo_) return;
  if (LogTimerArmed_) KillTimer(Hwnd_, LogTimerId);
  LogTimerArmed_ = false;
  const DWORD start = GetTickCount();
  // Appending at the end keeps the pane cheap however many lines it holds,
  // and the caret at the end keeps the last line in view.
  const int end = GetWindowTextLengthW(Memo_);
  SendMessageW(Memo_, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageW(Memo_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(PendingLog_.c_str()));
  SendMessageW(Memo_, EM_SCROLLCARET, 0, 0);
  PendingLog_.clear();
  // Painted now, so that the cost counted is the whole of it.
  UpdateWindow(Memo_);
  LastLogBunch_ = GetTickCount();
  LogBunchWait_ = std::max(LogBunchInterval, (LastLogBunch_ - start) * LogBunchCostShare);
}

void TVekWindow::LogLineAdded(const std::string& line) {
  if (!Memo_) return;
  AppendLogText((LogLines_ == 0 ? std::wstring() : std::wstring(L"\r\n")) + Wide(line));
  ++LogLines_;
}

void TVekWindow::LogLineAppended(const std::string& text) {
  if (!Memo_) return;
  if (LogLines_ == 0) LogLines_ = 1;
  AppendLogText(Wide(text));
}

void TVekWindow::SetApplicationTitle(const std::string& title) {
  // The caption is the text of the taskbar button.
  if (Hwnd_ && !Destroyed_) SetWindowTextW(Hwnd_, Wide(title).c_str());
}

void TVekWindow::SetStatusText(const std::string& text) {
  if (StatusBar_) SetWindowTextW(StatusBar_, Wide(text).c_str());
}

// --- tray and icon ---------------------------------------------------------------------------

void TVekWindow::SetTrayImage(int image) {
  if (Tray_) Tray_->Show(image);
}

bool TVekWindow::SetApplicationIcon(const std::string& fileName) { return LoadIcons(WidePath(fileName)); }

void TVekWindow::RemoveTrayIcon() {
  if (Tray_) Tray_->Remove();
}

void TVekWindow::ShowNotice(const std::string& title, const std::string& text) {
  if (Tray_) Tray_->ShowBalloon(title, text);
}

// --- timer, documents, sound, dialogs ---------------------------------------------------------

void TVekWindow::ArmTimer(unsigned milliseconds) { SetTimer(Hwnd_, CheckTimerId, milliseconds, nullptr); }

void TVekWindow::StopTimer() { KillTimer(Hwnd_, CheckTimerId); }

void TVekWindow::OpenDocument(const std::string& path) {
  ShellExecuteW(Hwnd_, L"open", WidePath(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TVekWindow::PlaySound(const std::string& name, bool wait) {
  const DWORD mode = wait ? SND_SYNC : SND_ASYNC;
  // A wave file when one exists by that name, otherwise a system sound.
  if (platform::FileExists(name)) {
    ::PlaySoundW(WidePath(name).c_str(), nullptr, SND_FILENAME | mode);
  } else {
    ::PlaySoundW(Wide(name).c_str(), nullptr, SND_ALIAS | mode);
  }
}

void TVekWindow::ShowMessage(const std::string& text) {
  if (!SessionEnded_) MessageDialog(Hwnd_, text);  // nobody is left to answer
}

void TVekWindow::Close() {
  if (Hwnd_ && !Destroyed_) PostMessageW(Hwnd_, WM_CLOSE, 0, 0);
}

bool TVekWindow::BrowseForFolder(const std::string& caption, std::string& folder) {
  return BrowseForFolderDialog(Hwnd_, caption, folder);
}

bool TVekWindow::AskYesNo(const std::string& caption, const std::string& text) {
  return YesNoDialog(Hwnd_, caption, text);
}

bool TVekWindow::OpenFileDialog(const TOpenDialogOptions& options, std::string& fileName) {
  return OpenFileNameDialog(Hwnd_, options.Title, options.Filter, options.DefaultExt, fileName);
}

bool TVekWindow::InputQuery(const std::string& caption, const std::string& prompt, std::string& text) {
  return InputQueryDialog(Hwnd_, Font_.get(), Dpi_, caption, prompt, text);
}

}  // namespace vek::win32
