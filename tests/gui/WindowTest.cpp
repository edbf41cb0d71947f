// The main window driven through its messages and read back through Win32:
// menus and their check marks, buttons, the ignore list view, the dialogs of
// the settings, the placement across a restart, a run with its controls
// disabled, the second-start request, the tray icon (also after the shell
// restarts) and minimising.
#include "GuiTestSupport.h"

#include <commctrl.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <regex>

namespace vek::test {
namespace {

using win32::WM_STARTCHECK;
using win32::WM_TRAYNOTIFY;

bool HasLine(const std::string& text, const std::string& line) {
  return ("\r\n" + text + "\r\n").find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(MainWindow, SettingsChangedThroughTheMenusAndThePlacementSurviveARestart) {
  TWindowFixture f;
  f.WriteSettings();
  f.Open();
  TVekMainForm& form = *f.Form;
  EXPECT_EQ(TWindowFixture::Text(f.Hwnd()), "VEK");
  EXPECT_EQ(f.Text(form.UpdateCheckButton), "更新チェック");
  EXPECT_EQ(f.Text(form.InitNewReportButton), "初期化");
  EXPECT_EQ(f.MenuText(form.UpdateCheckMenu), "更新チェック(&U)\tF9");
  EXPECT_EQ(SendMessageW(f.Window->ControlOf(form.IdxComboBox), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(f.Window->ControlOf(form.IdxComboBox), CB_GETCURSEL, 0, 0), 0);

  // Every check item turns over, in the menu and in the setting it is.
  std::vector<TMenuItem*> items = {&form.DatDownMenu,      &form.NotifySoundMenu,  &form.GreedyCheckMenu,
                                   &form.MinStartMenu,     &form.AutoStartMenu,    &form.AutoShutDownMenu,
                                   &form.ExternalCheckMenu, &form.AutoDorFinMenu,  &form.AutoDorRunMenu,
                                   &form.AutoInitMenu,     &form.FailedReportMenu,  &form.NotifyBalloonMenu,
                                   &form.ConditionalGetMenu, &form.NextThreadReportMenu};
  const std::vector<bool> defaults = {false, true, true, false, false, false, true, false, false, false, true, false,
                                      false, false};
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(f.Checked(*items[i]), defaults[i]) << items[i]->Name;
    f.Command(*items[i]);
    EXPECT_EQ(f.Checked(*items[i]), !defaults[i]) << items[i]->Name;
    EXPECT_EQ(items[i]->Checked, !defaults[i]) << items[i]->Name;
  }

  // The ignore list view, there and back: button, then menu.
  HWND memo = f.Window->ControlOf(form.LogMemo);
  HWND list = f.Window->ControlOf(form.IgnoreIdxCheckListBox);
  EXPECT_TRUE(IsWindowVisible(memo));
  EXPECT_FALSE(IsWindowVisible(list));
  f.Click(form.IgnoreIdxButton);
  EXPECT_FALSE(IsWindowVisible(memo));
  EXPECT_TRUE(IsWindowVisible(list));
  EXPECT_EQ(f.Text(form.IgnoreIdxButton), "ログ表示");
  EXPECT_EQ(f.MenuText(form.IgnoreIdxMenu), "ログ表示");
  // The user ticks the second thread list file.
  ASSERT_EQ(ListView_GetItemCount(list), 2);
  ListView_SetCheckState(list, 1, TRUE);
  const std::string ticked = form.IgnoreIdxCheckListBox.Items[1] + ";";
  EXPECT_EQ(form.IgnoreIdxList(), ticked);
  f.Command(form.IgnoreIdxMenu);
  EXPECT_TRUE(IsWindowVisible(memo));
  EXPECT_FALSE(IsWindowVisible(list));
  EXPECT_EQ(f.Text(form.IgnoreIdxButton), "除外指定");
  EXPECT_EQ(f.MenuText(form.IgnoreIdxMenu), "除外指定");

  // The new-arrival name always ends in ".idx", a cancelled box included.
  auto& answers = f.Window->Answers;
  answers = {"new.txt"};
  f.Command(form.NewIdxMenu);
  EXPECT_EQ(form.NewIdxName, "new.idx");
  EXPECT_EQ(f.Window->Asked.back(), "新着倉庫名の設定|新着倉庫名|$$$$$$$$.idx");
  answers = {""};
  f.Command(form.NewIdxMenu);
  EXPECT_EQ(form.NewIdxName, ".idx");
  answers = {std::nullopt};
  f.Command(form.NewIdxMenu);
  EXPECT_EQ(form.NewIdxName, ".idx");
  answers = {"news"};
  f.Command(form.NewIdxMenu);
  EXPECT_EQ(form.NewIdxName, "news.idx");
  // The proxy is taken as typed; Cancel keeps it.
  answers = {"127.0.0.1:8080", std::nullopt};
  f.Command(form.ProxyMenu);
  f.Command(form.ProxyMenu);
  EXPECT_EQ(form.Proxy, "127.0.0.1:8080");
  // A file that is no icon: said so, kept for the next start, the program goes on.
  WriteFile(f.AppPath() + "broken.ico", "not an icon");
  answers = {f.AppPath() + "broken.ico"};
  f.Command(form.IconMenu);
  EXPECT_EQ(f.Window->Messages, std::vector<std::string>{"アイコンイメージが不正です"});
  EXPECT_EQ(form.IconName, f.AppPath() + "broken.ico");
  // The host directory, linked with the host browser's update button.
  std::string dor = f.DorPath();
  answers = {dor.substr(0, dor.size() - 1)};
  f.Command(form.DirectoryMenu);
  EXPECT_EQ(form.DorPath(), dor);
  EXPECT_EQ(f.Window->Asked.back(), "Dorvellaとの連携の設定|更新ボタンと連携しますか？");
  EXPECT_NE(ReadFile(dor + "Dorvella.ini").find("[mirl]\r\nvek="), std::string::npos) << ReadFile(dor + "Dorvella.ini");

  // Placement and settings at exit.
  SetWindowPos(f.Hwnd(), nullptr, 50, 60, 700, 500, SWP_NOZORDER);
  f.Close();
  std::string ini = f.Settings();
  for (const char* line : {"Top=60", "Left=50", "Width=700", "Height=500", "State=Normal", "MinStart=1",
                           "AutoStart=1", "AutoShutDown=1", "GreedyCheck=0", "NotifySound=0", "ExternalCheck=0",
                           "AutoDorFin=1", "AutoDorRun=1", "AutoInit=1", "FailedReport=0", "NotifyBalloon=1",
                           "NewIdxName=news.idx",
                           "Proxy=127.0.0.1:8080"})
    EXPECT_TRUE(HasLine(ini, line)) << line << "\n" << ini;
  EXPECT_TRUE(HasLine(ini, "IgnoreIdxList=" + ticked)) << ini;

  // Back again: hidden (MinStart), the same place, the same check marks; the
  // fallen mark is never kept. AutoStart armed the timer.
  f.Open();
  TVekMainForm& again = *f.Form;
  EXPECT_FALSE(IsWindowVisible(f.Hwnd()));
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(f.Hwnd(), &wp);
  EXPECT_EQ(wp.rcNormalPosition.left, 50);
  EXPECT_EQ(wp.rcNormalPosition.top, 60);
  EXPECT_EQ(wp.rcNormalPosition.right, 750);
  EXPECT_EQ(wp.rcNormalPosition.bottom, 560);
  EXPECT_FALSE(f.Checked(again.DatDownMenu));
  EXPECT_FALSE(f.Checked(again.GreedyCheckMenu));
  EXPECT_TRUE(f.Checked(again.AutoDorRunMenu));
  EXPECT_TRUE(again.Timer.Enabled);
  f.Command(again.MinStartMenu);
  f.Command(again.AutoStartMenu);
  f.Command(again.AutoInitMenu);
  // Maximised at exit: only the state is written, the place stays.
  ShowWindow(f.Hwnd(), SW_MAXIMIZE);
  f.Close();
  ini = f.Settings();
  EXPECT_TRUE(HasLine(ini, "State=Maximized")) << ini;
  EXPECT_TRUE(HasLine(ini, "Top=60")) << ini;
  f.Open();
  EXPECT_TRUE(IsWindowVisible(f.Hwnd()));
  EXPECT_TRUE(IsZoomed(f.Hwnd()));
}

TEST(MainWindow, ARunDisablesTheControlsTheTrayBringsTheWindowBackAndErrorsAreShown) {
  TWindowFixture f;
  f.WriteSettings();
  f.Open();
  TVekMainForm& form = *f.Form;
  HWND tray = f.Window->TrayWindow();
  ASSERT_NE(tray, nullptr);

  // Minimising hides the window; only a left click on the tray icon brings it back.
  ShowWindow(f.Hwnd(), SW_MINIMIZE);
  EXPECT_FALSE(IsWindowVisible(f.Hwnd()));
  SendMessageW(tray, WM_TRAYNOTIFY, 1, WM_RBUTTONDOWN);
  SendMessageW(tray, WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);
  EXPECT_FALSE(IsWindowVisible(f.Hwnd()));
  SendMessageW(tray, WM_TRAYNOTIFY, 1, WM_LBUTTONDOWN);
  EXPECT_TRUE(IsWindowVisible(f.Hwnd()));
  EXPECT_FALSE(IsIconic(f.Hwnd()));

  // The shell restarts: the icon is gone from the new one, which broadcasts
  // "TaskbarCreated"; the icon is there again (a change to it succeeds).
  NOTIFYICONDATAW icon{};
  icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
  icon.hWnd = tray;
  icon.uID = 1;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
  ASSERT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &icon));
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon));

  // In the middle of a run: everything that starts one is disabled, the
  // second-start request is dropped, the view is back on the log.
  f.Click(form.IgnoreIdxButton);
  bool buttonEnabled = true, comboEnabled = true, executeEnabled = true, configEnabled = true, memoShown = false;
  bool timerArmed = true;
  f.Window->OnPump = [&] {
    buttonEnabled = IsWindowEnabled(f.Window->ControlOf(form.UpdateCheckButton));
    comboEnabled = IsWindowEnabled(f.Window->ControlOf(form.IdxComboBox));
    executeEnabled = f.TopMenuEnabled(1);
    configEnabled = f.TopMenuEnabled(4);
    memoShown = IsWindowVisible(f.Window->ControlOf(form.LogMemo));
    SendMessageW(f.Hwnd(), WM_STARTCHECK, 0, 0);
    timerArmed = form.Timer.Enabled;
  };
  f.Window->Titles.clear();
  f.Command(form.UpdateCheckMenu);
  EXPECT_FALSE(buttonEnabled);
  EXPECT_FALSE(comboEnabled);
  EXPECT_FALSE(executeEnabled);
  EXPECT_FALSE(configEnabled);
  EXPECT_TRUE(memoShown);
  EXPECT_FALSE(timerArmed);
  // No board to fetch: step 3 never shows.
  EXPECT_EQ(f.Window->Titles, (std::vector<std::string>{"VEK [1/7]", "VEK [2/7]", "VEK [4/7]", "VEK [5/7]", "VEK [6/7]",
                                                         "VEK [7/7]", "VEK"}));
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Completed) << form.LastRun().Error;

  // After it: enabled again, title and tray back, the sound, the status bar,
  // and the log pane holding exactly the form's lines.
  EXPECT_TRUE(IsWindowEnabled(f.Window->ControlOf(form.UpdateCheckButton)));
  EXPECT_TRUE(IsWindowEnabled(f.Window->ControlOf(form.InitNewReportButton)));
  EXPECT_TRUE(f.TopMenuEnabled(1));
  EXPECT_EQ(TWindowFixture::Text(f.Hwnd()), "VEK");
  EXPECT_EQ(f.Window->TrayImage(), -1);
  EXPECT_EQ(f.Window->Sounds, std::vector<std::string>{"MailBeep"});
  EXPECT_EQ(f.Text(form.MainStatusBar), "0/0");
  std::string lines;
  for (const std::string& line : form.LogMemo.Lines) lines += (lines.empty() ? "" : "\r\n") + line;
  EXPECT_EQ(f.Text(form.LogMemo), lines);
  EXPECT_TRUE(HasLine(lines, "Get subject.txt: done"));

  // Idle, the request arms the timer for one second, and the run follows.
  SendMessageW(f.Hwnd(), WM_STARTCHECK, 0, 0);
  EXPECT_TRUE(form.Timer.Enabled);
  EXPECT_EQ(form.Timer.Interval, 1000u);
  f.Pump(1600);
  EXPECT_FALSE(form.Timer.Enabled);
  std::regex start(R"(\*\*\*\*\* Start!! \*\*\*\*\*  \(.*\))");
  int starts = 0;
  for (const std::string& line : form.LogMemo.Lines) starts += std::regex_match(line, start) ? 1 : 0;
  EXPECT_EQ(starts, 2);

  // A run that meets a file it cannot read: logged, shown, and back to idle.
  DeleteFileW(platform::win32::WidePath(f.AppPath() + "subject_list.txt").c_str());
  CreateDirectoryW(platform::win32::WidePath(f.AppPath() + "subject_list.txt").c_str(), nullptr);
  f.Click(form.UpdateCheckButton);
  ASSERT_EQ(form.LastRun().Outcome, TRunOutcome::Failed);
  EXPECT_EQ(f.Window->Messages, std::vector<std::string>{form.LastRun().Error});
  EXPECT_TRUE(HasLine(f.Text(form.LogMemo), "ERROR: " + form.LastRun().Error));
  EXPECT_TRUE(IsWindowEnabled(f.Window->ControlOf(form.UpdateCheckButton)));
  EXPECT_EQ(f.Window->TrayImage(), -1);

  // A stop of the log backup: shown over the window, the program goes on.
  form.SetDorPath("");
  f.Command(form.BackupMenu);
  EXPECT_EQ(f.Window->Messages.back(), "Dorvellaのディレクトリが設定されていません");
  EXPECT_TRUE(IsWindowEnabled(f.Hwnd()));

  // The log file at exit holds what the pane showed.
  const std::string shown = f.Text(form.LogMemo);
  f.Close();
  EXPECT_EQ(ReadFile(f.AppPath() + "veklog.txt"), shown + "\r\n");
}

// Moved to a monitor at 150 % and back: the controls, their fonts and the
// window follow, and vek.ini keeps the window's pixels as they were.
TEST(MainWindow, FollowsTheScalingOfItsMonitor) {
  TWindowFixture f;
  f.WriteSettings();
  f.Open();
  TVekMainForm& form = *f.Form;
  auto size = [](HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return std::make_pair(static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top));
  };
  auto fontHeight = [](HWND hwnd) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
  };
  HWND button = f.Window->ControlOf(form.InitNewReportButton);
  HWND memo = f.Window->ControlOf(form.LogMemo);
  ASSERT_EQ(f.Window->Dpi(), 96u) << "the test prefix runs at 100 %";
  EXPECT_EQ(size(button), std::make_pair(89, 23));
  EXPECT_EQ(fontHeight(button), -12);
  EXPECT_EQ(fontHeight(memo), -12);

  const auto [width, height] = size(f.Hwnd());
  RECT suggested{40, 30, 40 + width * 3 / 2, 30 + height * 3 / 2};
  SendMessageW(f.Hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(size(button), std::make_pair(134, 35));
  EXPECT_EQ(fontHeight(button), -18);
  EXPECT_EQ(fontHeight(f.Window->ControlOf(form.IdxComboBox)), -18);
  EXPECT_EQ(fontHeight(memo), -18);
  RECT place{};
  GetWindowRect(f.Hwnd(), &place);
  EXPECT_EQ(place.left, 40);
  EXPECT_EQ(place.right - place.left, width * 3 / 2);
  POINT memoTop{0, 0};
  MapWindowPoints(memo, f.Hwnd(), &memoTop, 1);
  EXPECT_GE(memoTop.y, 40);  // below the taller buttons
  // The third button sits where 192 px are at 150 %.
  POINT buttonLeft{0, 0};
  MapWindowPoints(button, f.Hwnd(), &buttonLeft, 1);
  EXPECT_EQ(buttonLeft.x, 288);

  RECT back{40, 30, 40 + width, 30 + height};
  SendMessageW(f.Hwnd(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&back));
  EXPECT_EQ(size(button), std::make_pair(89, 23));
  EXPECT_EQ(fontHeight(memo), -12);
  f.Close();
  const std::string ini = f.Settings();
  EXPECT_TRUE(HasLine(ini, "Width=" + std::to_string(width))) << ini;
  EXPECT_TRUE(HasLine(ini, "Left=40")) << ini;
}

}  // namespace
}  // namespace vek::test
