// The private-profile rules, checked against the same expectations on every
// platform (on Windows they are the system's own functions).
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/Ini.h"

namespace vek::platform {
namespace {

using test::TempDir;

// Each test uses its own file name: the Windows functions may keep a parsed
// copy of a file they read a moment ago.
class Ini : public ::testing::Test {
 protected:
  std::string File(const std::string& name, const std::string& bytes) {
    std::string path = Dir.Path() + name;
    test::WriteFile(path, bytes);
    return path;
  }
  TempDir Dir;
};

TEST_F(Ini, MissingFileSectionOrKeyGivesTheDefault) {
  std::string absent = Dir.Path() + "absent.ini";
  EXPECT_EQ(IniReadString(absent, "VEK", "Proxy", "none"), "none");
  EXPECT_FALSE(FileExists(absent));  // reading creates nothing
  std::string path = File("some.ini", "[VEK]\r\nProxy=p:8080\r\n");
  EXPECT_EQ(IniReadString(path, "Window", "Proxy", "d"), "d");
  EXPECT_EQ(IniReadString(path, "VEK", "SoundName", "MailBeep"), "MailBeep");
  EXPECT_EQ(IniReadString(path, "VEK", "Proxy", "d"), "p:8080");
}

TEST_F(Ini, ValuesLoseSurroundingBlanksAndOnePairOfMatchingQuotes) {
  std::string path = File("read.ini",
                          "[VEK]\r\n"
                          "  Plain =  value with  inner blanks \t\r\n"
                          "Double=\"quoted\"\r\n"
                          "Single='single'\r\n"
                          "Padded= \" keep inside \" \r\n"
                          "Twice=\"\"x\"\"\r\n"
                          "Unmatched=\"open'\r\n"
                          "Lone=\"\r\n"
                          "Empty=\r\n"
                          "EmptyQuotes=\"\"\r\n"
                          "Equals=a=b\r\n"
                          "ThreadExp=&nbsp; &nbsp; %s<br>&nbsp; &nbsp; %s<br><br>\r\n");
  EXPECT_EQ(IniReadString(path, "VEK", "Plain", "d"), "value with  inner blanks");
  EXPECT_EQ(IniReadString(path, "VEK", "Double", "d"), "quoted");
  EXPECT_EQ(IniReadString(path, "VEK", "Single", "d"), "single");
  EXPECT_EQ(IniReadString(path, "VEK", "Padded", "d"), " keep inside ");
  EXPECT_EQ(IniReadString(path, "VEK", "Twice", "d"), "\"x\"");
  EXPECT_EQ(IniReadString(path, "VEK", "Unmatched", "d"), "\"open'");
  EXPECT_EQ(IniReadString(path, "VEK", "Lone", "d"), "\"");
  EXPECT_EQ(IniReadString(path, "VEK", "Empty", "d"), "");
  EXPECT_EQ(IniReadString(path, "VEK", "EmptyQuotes", "d"), "");
  EXPECT_EQ(IniReadString(path, "VEK", "Equals", "d"), "a=b");
  EXPECT_EQ(IniReadString(path, "VEK", "ThreadExp", "d"), "&nbsp; &nbsp; %s<br>&nbsp; &nbsp; %s<br><br>");
}

TEST_F(Ini, SectionsAndKeysIgnoreCaseAndTheFirstOneWins) {
  std::string path = File("case.ini",
                          "[ Window ]\n"
                          "state=Maximized\n"
                          "State=Normal\n"
                          "; Top=5\n"
                          "Comment line without equals\n"
                          "[vek]\n"
                          "AUTOSTART=1\n");
  EXPECT_EQ(IniReadString(path, "WINDOW", "State", "d"), "Maximized");
  EXPECT_EQ(IniReadString(path, "window", "STATE", "d"), "Maximized");
  EXPECT_EQ(IniReadString(path, "VEK", "AutoStart", "0"), "1");
  EXPECT_EQ(IniReadString(path, "Window", "Top", "111"), "111");
  EXPECT_EQ(IniReadString(path, "Window", "Comment line without equals", "d"), "d");
}

TEST_F(Ini, LongValuesAreCutAt2047Characters) {
  std::string path = File("long.ini", "[VEK]\r\nBoardExp=" + std::string(3000, 'x') + "\r\nNext=1\r\n");
  EXPECT_EQ(IniReadString(path, "VEK", "BoardExp", "d"), std::string(2047, 'x'));
  EXPECT_EQ(IniReadString(path, "VEK", "Next", "d"), "1");
}

TEST_F(Ini, FileCreatedFromNothingHoldsSectionsAndKeysInWriteOrder) {
  std::string path = Dir.Path() + "vek.ini";
  EXPECT_TRUE(IniWriteString(path, "dorvella", "Directory", "C:\\Dorvella\\"));
  EXPECT_TRUE(IniWriteString(path, "VEK", "Proxy", ""));
  EXPECT_TRUE(IniWriteString(path, "VEK", "AutoStart", "0"));
  EXPECT_TRUE(IniWriteString(path, "Window", "Top", "111"));
  EXPECT_TRUE(IniWriteString(path, "Window", "State", "Normal"));
  EXPECT_TRUE(IniWriteString(path, "VEK", "SoundName", "MailBeep"));
  EXPECT_TRUE(IniWriteString(path, "vek", "TimeOutTime", "15"));
  EXPECT_EQ(test::ReadFile(path),
            "[dorvella]\r\nDirectory=C:\\Dorvella\\\r\n"
            "[VEK]\r\nProxy=\r\nAutoStart=0\r\nSoundName=MailBeep\r\nTimeOutTime=15\r\n"
            "[Window]\r\nTop=111\r\nState=Normal\r\n");
  EXPECT_EQ(IniReadString(path, "dorvella", "Directory", "d"), "C:\\Dorvella\\");
  EXPECT_EQ(IniReadString(path, "VEK", "Proxy", "d"), "");
}

TEST_F(Ini, ExistingKeysChangeInPlaceAndNewOnesJoinTheirSection) {
  std::string path = File("update.ini",
                          "[VEK]\r\nAutoStart=0\r\n; a remark\r\n\r\n[Window]\r\nTop=5\r\nLeft=6\r\n");
  EXPECT_TRUE(IniWriteString(path, "window", "TOP", "50"));
  EXPECT_TRUE(IniWriteString(path, "VEK", "IconName", "vek.ico"));
  EXPECT_TRUE(IniWriteString(path, "dorvella", "Directory", "D:\\"));
  // The name keeps its spelling from the file; the blank line goes.
  EXPECT_EQ(test::ReadFile(path),
            "[VEK]\r\nAutoStart=0\r\n; a remark\r\nIconName=vek.ico\r\n"
            "[Window]\r\nTop=50\r\nLeft=6\r\n"
            "[dorvella]\r\nDirectory=D:\\\r\n");
}

TEST_F(Ini, WrittenFileHasCrLfLines) {
  std::string path = File("lf.ini", "[A]\nx=1\n[B]\ny=2");
  EXPECT_TRUE(IniWriteString(path, "B", "z", "3"));
  EXPECT_EQ(test::ReadFile(path), "[A]\r\nx=1\r\n[B]\r\ny=2\r\nz=3\r\n");
}

TEST_F(Ini, WrittenValuesLoseSurroundingBlanksButKeepQuotes) {
  std::string path = Dir.Path() + "write.ini";
  EXPECT_TRUE(IniWriteString(path, "VEK", "Spaced", "  spaced  "));
  EXPECT_TRUE(IniWriteString(path, "VEK", "Quoted", "\"quoted\""));
  EXPECT_EQ(test::ReadFile(path), "[VEK]\r\nSpaced=spaced\r\nQuoted=\"quoted\"\r\n");
  EXPECT_EQ(IniReadString(path, "VEK", "Quoted", "d"), "quoted");
}

TEST_F(Ini, JapaneseTextAndNamesRoundTrip) {
  // Trail bytes 0x5C inside the value, the section name and the directory.
  ASSERT_TRUE(CreateDirectories(Dir.Path() + "表"));
  std::string path = Dir.Path() + "表\\設定.ini";
  std::string value = "C:\\ソフト\\表示\\";
  EXPECT_TRUE(IniWriteString(path, "表", "ソ", value));
  EXPECT_TRUE(IniWriteString(path, "VEK", "BoardExp", "<b>----- %s -----</b>"));
  EXPECT_EQ(IniReadString(path, "表", "ソ", "d"), value);
  EXPECT_EQ(ReadWholeFile(path), "[表]\r\nソ=" + value + "\r\n[VEK]\r\nBoardExp=<b>----- %s -----</b>\r\n");
}

TEST_F(Ini, ReadOnlyFileIsNotWritten) {
  std::string path = File("readonly.ini", "[VEK]\r\nAutoStart=0\r\n");
  ASSERT_TRUE(SetReadOnly(path, true));
  EXPECT_FALSE(IniWriteString(path, "VEK", "AutoStart", "1"));
  ASSERT_TRUE(SetReadOnly(path, false));
  EXPECT_EQ(test::ReadFile(path), "[VEK]\r\nAutoStart=0\r\n");
  EXPECT_TRUE(IniWriteString(path, "VEK", "AutoStart", "1"));
  EXPECT_EQ(IniReadString(path, "VEK", "AutoStart", "0"), "1");
}

}  // namespace
}  // namespace vek::platform
