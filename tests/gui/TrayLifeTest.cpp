// Days in the tray, in the window's own process on a virtual clock: a check
// the timer started that fails shows no message box and the next one comes
// on time; a stray "TaskbarCreated" leaves the icon and its balloons; the
// wake from sleep; the end of the session; the start with Windows.
#include <gtest/gtest.h>

#include "../check/LoopbackServer.h"
#include "GuiTestSupport.h"
#include "VirtualClock.h"
#include "shell/win32/RunAtLogon.h"

namespace vek::test {
namespace {

class TrayLife : public ::testing::Test {
 protected:
  // One board on the loopback server; a check every minute.
  void OpenWorld(const std::string& extra = "") {
    Server.Put("/a/subject.txt", "1100000001.dat<>old (1)\n");
    WriteFile(F.AppPath() + "subject_list.txt", "http://127.0.0.1:" + std::to_string(Server.Port) + "/a/subject.txt\r\n");
    F.WriteSettings("PrimarySuffixes=127.0.0.1%3A\r\nCheckEvery=1\r\nNotifyBalloon=1\r\nFailedReport=0\r\n" + extra);
    F.Open({}, Clock);
  }
  TRunOutcome Fire() { return FireCheckTimer(F, Clock); }
  size_t LogCount(const std::string& start) const {
    size_t n = 0;
    for (const std::string& line : F.Form->LogMemo.Lines) n += line.rfind(start, 0) == 0;
    return n;
  }

  TWindowFixture F;
  TVirtualClock Clock;
  TLoopbackServer Server;
};

TEST_F(TrayLife, AFailedPeriodicCheckShowsNoBoxAndTheNextComesOnTime) {
  // A folder where the new-arrival list goes: its replacement fails.
  const std::wstring blocker = platform::win32::WidePath(F.DorPath() + "$$$$$$$$.idx");
  CreateDirectoryW(blocker.c_str(), nullptr);
  OpenWorld();
  // Started by hand, the failure shows its box.
  Clock.Pass(1000);
  F.Command(F.Form->UpdateCheckMenu);
  EXPECT_EQ(F.Form->LastRun().Outcome, TRunOutcome::Failed);
  ASSERT_EQ(F.Window->Messages.size(), 1u);
  EXPECT_EQ(F.Window->Messages[0], F.Form->LastRun().Error);

  // Started by the timer, it shows none: the log, the balloon, the next check.
  EXPECT_EQ(Fire(), TRunOutcome::Failed);
  EXPECT_EQ(F.Window->Messages.size(), 1u);
  EXPECT_EQ(LogCount("ERROR: "), 2u);
  EXPECT_EQ(F.Window->Notices.back(), "VEK|" + F.Form->LastRun().Error.substr(0, F.Form->LastRun().Error.find('\n')));
  EXPECT_EQ(F.Form->Timer.Interval, 60000u);

  RemoveDirectoryW(blocker.c_str());
  EXPECT_EQ(Fire(), TRunOutcome::Completed) << F.Form->LastRun().Error;
  EXPECT_EQ(F.Window->Notices.back(), "VEK|新着 0 / DAT落ち 0 / 新スレ 0");
}

TEST_F(TrayLife, TaskbarCreatedWhileTheIconExistsKeepsItAndItsBalloon) {
  OpenWorld();
  ASSERT_TRUE(F.Window->TrayShown()) << "no notification area under this Wine";
  SendMessageW(F.Window->TrayWindow(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(F.Window->TrayShown());
  NOTIFYICONDATAW probe{};
  probe.cbSize = NOTIFYICONDATAW_V2_SIZE;
  probe.hWnd = F.Window->TrayWindow();
  probe.uID = 1;
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));  // the shell still has it
  EXPECT_EQ(Fire(), TRunOutcome::Completed);
  EXPECT_TRUE(F.Window->TrayShown());
  EXPECT_EQ(F.Window->Notices.size(), 1u);
}

TEST_F(TrayLife, AfterSleepADueCheckWaitsAMinuteOnceAndOneNotDueKeepsItsTime) {
  OpenWorld();
  EXPECT_EQ(Fire(), TRunOutcome::Completed);
  // Asleep for an hour: the check due after a minute waits a minute more,
  // however often the wake is told.
  Clock.Pass(3600 * 1000);
  for (WPARAM event : {PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND})
    SendMessageW(F.Hwnd(), WM_POWERBROADCAST, event, 0);
  EXPECT_EQ(F.Form->Timer.Interval, 60000u);
  EXPECT_EQ(Fire(), TRunOutcome::Completed);
  EXPECT_EQ(Server.Requests().size(), 2u);

  // Ten minutes between checks, asleep for two: the check keeps its time.
  F.Window->Answers = {"10"};
  F.Command(F.Form->CheckEveryMenu);
  const unsigned armed = F.Form->Timer.Interval;
  Clock.Pass(120000);
  SendMessageW(F.Hwnd(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  EXPECT_EQ(F.Form->Timer.Interval, armed);
}

// The exit sequence at the end of the session, once: a later close writes
// nothing (the settings file changed meanwhile stays as it is).
TEST_F(TrayLife, TheEndOfTheSessionSavesOnce) {
  OpenWorld();
  F.Command(F.Form->AutoDorRunMenu);
  EXPECT_EQ(SendMessageW(F.Hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  SendMessageW(F.Hwnd(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  const std::string ini = F.Settings();
  EXPECT_NE(ini.find("AutoDorRun=1\r\n"), std::string::npos) << ini;
  EXPECT_EQ(ReadFile(F.AppPath() + "veklog.txt").rfind("Monazilla/1.00 (VEK/3.14.0)\r\n", 0), 0u);
  EXPECT_FALSE(F.Window->TrayShown());
  WriteFile(F.AppPath() + "vek.ini", "after\r\n");
  F.Close();
  EXPECT_EQ(F.Settings(), "after\r\n");
}

TEST_F(TrayLife, StartWithWindowsWritesAndRemovesAQuotedRunValueNamingThisProgram) {
  const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  auto value = [key] {
    wchar_t data[1024] = {};
    DWORD size = sizeof data - 2;
    return RegGetValueW(HKEY_CURRENT_USER, key, L"VEK", RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS
               ? platform::win32::Narrow(data)
               : std::string("(none)");
  };
  RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"VEK");
  OpenWorld();
  EXPECT_FALSE(F.Checked(F.Form->StartWithWindowsMenu));
  F.Command(F.Form->StartWithWindowsMenu);
  EXPECT_EQ(value(), "\"" + platform::win32::Narrow(platform::win32::WidePath(platform::ExecutablePath())) + "\" /tray");
  EXPECT_TRUE(F.Checked(F.Form->StartWithWindowsMenu));
  F.Command(F.Form->StartWithWindowsMenu);
  EXPECT_EQ(value(), "(none)");
  EXPECT_FALSE(F.Checked(F.Form->StartWithWindowsMenu));
  F.Close();

  // A value naming the program in another folder (it was moved) shows off.
  const std::wstring moved = L"\"C:\\elsewhere\\vek.exe\" /tray";
  RegSetKeyValueW(HKEY_CURRENT_USER, key, L"VEK", REG_SZ, moved.c_str(), static_cast<DWORD>((moved.size() + 1) * 2));
  F.Open({}, Clock);
  EXPECT_FALSE(F.Checked(F.Form->StartWithWindowsMenu));
  RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"VEK");
}

}  // namespace
}  // namespace vek::test
