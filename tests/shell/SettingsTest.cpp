// The settings file as start-up reads it and exit writes it back, and the
// form's small commands.
#include <gtest/gtest.h>

#include <algorithm>

#include "../check/FormTestSupport.h"
#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "shell/Settings.h"

namespace vek::test {
namespace {

using Lines = std::vector<std::string>;

// "[section]" lines and key names, in file order.
Lines Layout(const std::string& text) {
  Lines layout;
  TStringList lines;
  lines.SetText(text);
  for (const std::string& line : lines.Items) {
    if (line.empty()) continue;
    layout.push_back(line[0] == '[' ? line : line.substr(0, line.find('=')));
  }
  return layout;
}

class Settings : public ::testing::Test {
 protected:
  std::string Ini(const char* section, const char* key) {
    return platform::IniReadString(Fixture.App("vek.ini"), section, key, "<missing>");
  }
  int64_t IniSeconds() {
    platform::SystemTime t;
    EXPECT_TRUE(platform::GetWriteTimeByPath(Fixture.App("vek.ini"), t));
    return SystemTimeToSeconds(t);
  }
  TFormFixture Fixture;
};

TEST_F(Settings, ExitWritesSectionsAndKeysInOrder) {
  TVekMainForm& form = Fixture.Create();
  form.FormDestroy();
  EXPECT_EQ(Layout(ReadFile(Fixture.App("vek.ini"))),
            (Lines{"[dorvella]", "Directory", "[VEK]", "Proxy", "AutoStart", "AutoShutDown", "SoundName", "NewIdxName",
                   "IgnoreIdxList", "IconName", "IdxType", "GreedyCheck", "NotifySound", "ExternalCheck", "BoardExp",
                   "ThreadExp", "AutoDorFin", "AutoDorRun", "AutoInit", "FailedReport", "TimeOutTime",
                   "PrimarySuffixes", "RentalDomains", "RentalOldHost", "[Window]", "Top", "Left", "Width", "Height",
                   "State", "MinStart"}));
  EXPECT_EQ(Ini("VEK", "BoardExp"), "<font color=\"8B2222\"><b>---------- %s ----------</b></font><br>");
  EXPECT_EQ(Ini("VEK", "ThreadExp"), "&nbsp; &nbsp; %s<br>&nbsp; &nbsp; %s<br><br>");
  EXPECT_EQ(Ini("VEK", "GreedyCheck"), "1");
  EXPECT_EQ(Ini("VEK", "AutoStart"), "0");
  EXPECT_EQ(Ini("VEK", "NewIdxName"), "$$$$$$$$.idx");
  EXPECT_EQ(Ini("VEK", "PrimarySuffixes"), "5ch.io;5ch.net;bbspink.com");
  EXPECT_EQ(Ini("Window", "Left"), "230");
  EXPECT_EQ(Ini("Window", "State"), "Normal");
}

TEST_F(Settings, EverySettingRoundTrips) {
  for (const char* name : {"a.idx", "b.idx", "c.idx"}) WriteFile(Fixture.Dor(name), "");
  WriteFile(Fixture.App("icon.ico"), "icon");
  Fixture.WriteSettings();
  {
    TVekMainForm& form = Fixture.Create();
    form.Proxy = "proxy.example:3128";
    form.SoundName = "C:\\sounds\\done.wav";
    form.NewIdxName = "新着.idx";
    form.IconName = Fixture.App("icon.ico");
    form.BoardExp = "<b>%s</b>";
    form.ThreadExp = "%s - %s<br>";
    form.TimeOutTime = 33;
    form.PrimarySuffixes = "example.jp";
    form.RentalDomains = "";
    form.RentalOldHost = "www.rental.example";
    form.WindowTop = 5;
    form.WindowLeft = 6;
    form.WindowWidth = 700;
    form.WindowHeight = 500;
    form.SetIdxType(3);
    form.IgnoreIdxCheckListBox.Checked = {true, false, true};
    for (TMenuItem* item : {&form.MinStartMenu, &form.AutoStartMenu, &form.AutoShutDownMenu, &form.GreedyCheckMenu,
                            &form.NotifySoundMenu, &form.ExternalCheckMenu, &form.AutoDorFinMenu, &form.AutoDorRunMenu,
                            &form.FailedReportMenu}) {
      form.CheckMenuClick(*item);
    }
    form.FormDestroy();
  }
  TFormFixture& f = Fixture;
  f.View = TRecordingView();
  TVekMainForm& form = f.Create();
  EXPECT_EQ(form.DorPath(), f.DorPath());
  EXPECT_EQ(form.Proxy, "proxy.example:3128");
  EXPECT_EQ(form.SoundName, "C:\\sounds\\done.wav");
  EXPECT_EQ(form.NewIdxName, "新着.idx");
  EXPECT_EQ(form.IconName, f.App("icon.ico"));
  EXPECT_EQ(form.BoardExp, "<b>%s</b>");
  EXPECT_EQ(form.ThreadExp, "%s - %s<br>");
  EXPECT_EQ(form.TimeOutTime, 33);
  EXPECT_EQ(form.PrimarySuffixList(), Lines{"example.jp"});
  EXPECT_TRUE(form.RentalDomainList().empty());
  EXPECT_EQ(form.RentalOldHost, "www.rental.example");
  EXPECT_EQ(form.WindowTop, 5);
  EXPECT_EQ(form.WindowLeft, 6);
  EXPECT_EQ(form.WindowWidth, 700);
  EXPECT_EQ(form.WindowHeight, 500);
  EXPECT_FALSE(form.WindowMaximized);
  EXPECT_EQ(form.IdxType(), 3);
  const auto& items = form.IgnoreIdxCheckListBox.Items;
  EXPECT_EQ(form.IgnoreIdxList(), items[0] + ";" + items[2] + ";");
  EXPECT_TRUE(form.MinStart());
  EXPECT_TRUE(form.AutoStart());
  EXPECT_TRUE(form.AutoShutDown());
  EXPECT_FALSE(form.GreedyCheck());
  EXPECT_FALSE(form.NotifySound());
  EXPECT_FALSE(form.ExternalCheck());
  EXPECT_TRUE(form.AutoDorFin());
  EXPECT_TRUE(form.AutoDorRun());
  EXPECT_FALSE(form.AutoInit());
  EXPECT_FALSE(form.FailedReport());
  EXPECT_FALSE(form.DatDownMenu.Checked);  // never saved
}

TEST_F(Settings, ExitKeepsTheFileTimeEvenWhenReadOnly) {
  Fixture.WriteSettings();
  const int64_t stamped = IniSeconds();
  ASSERT_TRUE(platform::SetReadOnly(Fixture.App("vek.ini"), true));
  TVekMainForm& form = Fixture.Create();
  form.Proxy = "changed";
  form.FormDestroy();
  EXPECT_EQ(Ini("VEK", "Proxy"), "changed");
  EXPECT_EQ(IniSeconds(), stamped);
  EXPECT_TRUE(Fixture.View.Messages.empty());
}

TEST_F(Settings, ValuesThatDoNotParseGiveDefaults) {
  Fixture.WriteSettings("TimeOutTime=0x1E\r\nIdxType=abc\r\nGreedyCheck=x\r\nNotifySound=2\r\nAutoStart=0X0\r\n"
                        "ExternalCheck=\r\nAutoDorFin= 7 \r\nPrimarySuffixes=\r\n");
  TVekMainForm& form = Fixture.Create();
  EXPECT_EQ(form.TimeOutTime, 30);
  EXPECT_EQ(form.IdxType(), 0);
  EXPECT_TRUE(form.GreedyCheck());
  EXPECT_TRUE(form.NotifySound());
  EXPECT_FALSE(form.AutoStart());
  EXPECT_TRUE(form.ExternalCheck());
  EXPECT_TRUE(form.AutoDorFin());
  EXPECT_TRUE(form.PrimarySuffixList().empty());  // present but empty: off
  EXPECT_EQ(form.RentalDomainList(), Lines{"shitaraba.net"});  // missing: default
}

TEST_F(Settings, MaximisedWindowWritesOnlyItsState) {
  Fixture.WriteSettings();
  WriteFile(Fixture.App("vek.ini"), ReadFile(Fixture.App("vek.ini")) + "[Window]\r\nTop=77\r\nState=\r\n");
  TVekMainForm& form = Fixture.Create();
  EXPECT_TRUE(form.WindowMaximized);
  EXPECT_EQ(form.WindowTop, 77);
  form.WindowTop = 1;
  form.FormDestroy();
  EXPECT_EQ(Ini("Window", "State"), "Maximized");
  EXPECT_EQ(Ini("Window", "Top"), "77");
  EXPECT_EQ(Ini("Window", "Width"), "<missing>");
}

TEST_F(Settings, IndexSelectorOutOfRangeSelectsNothing) {
  WriteFile(Fixture.Dor("a.idx"), "");
  Fixture.WriteSettings("IdxType=5\r\n");
  TVekMainForm& form = Fixture.Create();
  EXPECT_EQ(form.IdxType(), -1);
  EXPECT_EQ(form.IdxComboBox.Items, (Lines{"*.idx", "a.idx"}));
  form.FormDestroy();
  EXPECT_EQ(Ini("VEK", "IdxType"), "-1");
}

TEST_F(Settings, IgnoreListMatchesNamesWithoutRegardToCase) {
  for (const char* name : {"a.idx", "b.idx", "favboard.idx"}) WriteFile(Fixture.Dor(name), "");
  Fixture.WriteSettings("IgnoreIdxList=B.IDX;gone.idx;;a.idx;\r\n");
  TVekMainForm& form = Fixture.Create();
  const auto& items = form.IgnoreIdxCheckListBox.Items;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(form.IgnoreIdxList(), items[0] + ";" + items[1] + ";");
  form.FormDestroy();
  EXPECT_EQ(Ini("VEK", "IgnoreIdxList"), items[0] + ";" + items[1] + ";");
}

TEST_F(Settings, CommandLineSwitchesAreExact) {
  Fixture.WriteSettings();
  Fixture.Create({"/AUTOSTART", "/autoinit2"});
  EXPECT_TRUE(Fixture.View.ArmedTimers.empty());
  EXPECT_FALSE(Exists(Fixture.Log("localhost\\vek\\1000000000.idx")));

  TFormFixture both;
  both.WriteSettings();
  TVekMainForm& form = both.Create({"x", "/autoinit", "/autostart"});
  EXPECT_EQ(both.View.ArmedTimers, std::vector<unsigned>{1000});
  EXPECT_TRUE(form.Timer.Enabled);
  EXPECT_TRUE(Exists(both.Log("localhost\\vek\\1000000000.idx")));
}

TEST_F(Settings, StartUpFindsTheHostBrowserBesideTheProgramAndMakesTheListFiles) {
  WriteFile(Fixture.App("Dorvella.exe"), "");
  TVekMainForm& form = Fixture.Create();
  EXPECT_EQ(form.DorPath(), Fixture.AppPath());
  for (const char* name : {"ban_list.txt", "subject_list.txt", "non_report_list.txt"}) {
    EXPECT_TRUE(Exists(Fixture.App(name))) << name;
  }
  EXPECT_TRUE(platform::DirectoryExists(Fixture.App("subject")));
  EXPECT_EQ(form.LogMemo.Lines.size(), 3u);
  EXPECT_EQ(form.LogMemo.Lines[0], "Monazilla/1.00 (VEK/3.14.0)");
  EXPECT_EQ(Fixture.View.Titles, Lines{"VEK"});
  form.FormDestroy();
  EXPECT_EQ(Ini("dorvella", "Directory"), Fixture.AppPath());
}

TEST_F(Settings, MissingIconIsNotKept) {
  Fixture.WriteSettings("IconName=" + Fixture.App("none.ico") + "\r\n");
  TVekMainForm& form = Fixture.Create();
  EXPECT_EQ(form.IconName, "");
  form.FormDestroy();
  EXPECT_EQ(Ini("VEK", "IconName"), "");
}

TEST_F(Settings, UnwritableSettingsFileIsReportedOnceAndTheLogIsStillSaved) {
  WriteFile(Fixture.App("vek.ini\\inside"), "");  // a directory where the file should be
  TVekMainForm& form = Fixture.Create();
  form.FormDestroy();
  EXPECT_EQ(Fixture.View.Messages.size(), 1u);
  EXPECT_TRUE(Exists(Fixture.App("veklog.txt")));
}

TEST_F(Settings, LogIsSavedAtExitInPlaceOfTheLastOne) {
  WriteFile(Fixture.App("veklog.txt"), "old log that is longer than the new one will be, surely, by far and away\r\n");
  TVekMainForm& form = Fixture.Create();
  form.AddLogLine("表示");
  form.AppendToLogLine(" ok");
  form.AddLogLine();
  form.FormDestroy();
  EXPECT_EQ(ReadFile(Fixture.App("veklog.txt")), form.LogMemo.Lines[0] + "\r\n" + form.LogMemo.Lines[1] +
                                                     "\r\n\r\n\x95\x5c\x8e\xa6 ok\r\n\r\n");
  EXPECT_EQ(Fixture.View.Messages, Lines{});
}

// "表" and "ソ" end in the byte of "\": a folder named so still gets its
// separator, or every path built on it would run into the folder's name.
TEST(SettingsTable, HostDirectoryGetsItsSeparatorAfterATrailByte) {
  EXPECT_EQ(WithTrailingBackslash("C:\\表"), "C:\\表\\");
  EXPECT_EQ(WithTrailingBackslash("C:\\ソ\\"), "C:\\ソ\\");
  EXPECT_EQ(WithTrailingBackslash("/home/u/host/"), "/home/u/host/");
  EXPECT_EQ(WithTrailingBackslash(""), "");
}

TEST(SettingsTable, EveryKeyOnceAndTheListSettingsReadAfterTheirLists) {
  std::vector<std::string> table;
  for (const TSetting& setting : SettingsTable()) table.push_back(setting.Key);
  std::sort(table.begin(), table.end());
  EXPECT_EQ(std::adjacent_find(table.begin(), table.end()), table.end());
  EXPECT_EQ(FindSetting("VEK", "IgnoreIdxList")->Stage, TReadStage::BeforeSelector);
  EXPECT_EQ(FindSetting("VEK", "IdxType")->Stage, TReadStage::Rest);
  EXPECT_EQ(FindSetting("dorvella", "Directory")->Stage, TReadStage::BeforeLists);
}

}  // namespace
}  // namespace vek::test
