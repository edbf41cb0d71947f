// Boolean text, seconds of a system time, and the settings-file stamp and lock.
#include "support/funcs.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Files.h"

namespace vek {
namespace {

SystemTime Time(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
  SystemTime t;
  t.Year = static_cast<uint16_t>(year);
  t.Month = static_cast<uint16_t>(month);
  t.Day = static_cast<uint16_t>(day);
  t.Hour = static_cast<uint16_t>(hour);
  t.Minute = static_cast<uint16_t>(minute);
  t.Second = static_cast<uint16_t>(second);
  t.Milliseconds = static_cast<uint16_t>(ms);
  return t;
}

TEST(BoolToText, CapitalisedWords) {
  EXPECT_EQ(BoolToText(true), "True");
  EXPECT_EQ(BoolToText(false), "False");
}

TEST(SystemTimeToSeconds, DifferencesAcrossMonthAndYearEnds) {
  struct Case {
    SystemTime before, after;
  } cases[] = {
      {Time(2024, 1, 31, 23, 59, 30), Time(2024, 2, 1, 0, 0, 10)},
      {Time(2024, 2, 29, 23, 59, 30), Time(2024, 3, 1, 0, 0, 10)},   // leap year
      {Time(2023, 2, 28, 23, 59, 30), Time(2023, 3, 1, 0, 0, 10)},   // common year
      {Time(2100, 2, 28, 23, 59, 30), Time(2100, 3, 1, 0, 0, 10)},   // century, not leap
      {Time(2026, 4, 30, 23, 59, 30), Time(2026, 5, 1, 0, 0, 10)},
      {Time(2026, 12, 31, 23, 59, 30), Time(2027, 1, 1, 0, 0, 10)},
      {Time(1999, 12, 31, 23, 59, 30, 999), Time(2000, 1, 1, 0, 0, 10, 1)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SystemTimeToSeconds(c.after) - SystemTimeToSeconds(c.before), 40)
        << c.before.Year << "-" << c.before.Month << "-" << c.before.Day;
    // And back, the day of the week with it (milliseconds are dropped).
    const SystemTime back = SecondsToSystemTime(SystemTimeToSeconds(c.before));
    EXPECT_EQ(SystemTimeToSeconds(back), SystemTimeToSeconds(c.before));
    EXPECT_EQ(back.Day, c.before.Day);
  }
  EXPECT_EQ(SecondsToSystemTime(1796680541).DayOfWeek, 1);  // 2026-12-07, a Monday
  EXPECT_EQ(SystemTimeToSeconds(Time(2000, 2, 28, 12, 0, 0)) + 2 * 86400, SystemTimeToSeconds(Time(2000, 3, 1, 12, 0, 0)))
      << "2000 is a leap year";
  EXPECT_EQ(SystemTimeToSeconds(Time(1970, 1, 1, 0, 0, 0)), 0);
  EXPECT_EQ(SystemTimeToSeconds(Time(2000, 1, 1, 0, 0, 0)), 946684800);
  EXPECT_EQ(SystemTimeToSeconds(Time(2026, 12, 7, 21, 55, 41, 750)), 1796680541);
}

void ExpectSameSecond(const SystemTime& a, const SystemTime& b) {
  EXPECT_EQ(SystemTimeToSeconds(a), SystemTimeToSeconds(b))
      << a.Year << "/" << a.Month << "/" << a.Day << " " << a.Hour << ":" << a.Minute << ":" << a.Second << " vs "
      << b.Year << "/" << b.Month << "/" << b.Day << " " << b.Hour << ":" << b.Minute << ":" << b.Second;
}

TEST(FileTimes, TouchCreatesAnAbsentFileEmptyWithThePresentTime) {
  test::TempDir dir;
  const std::string path = dir / "vek.ini";
  const int64_t before = SystemTimeToSeconds(platform::UtcNow());
  TouchFile(path);
  ASSERT_TRUE(test::Exists(path));
  EXPECT_EQ(test::ReadFile(path), "");
  const int64_t stamped = SystemTimeToSeconds(GetFileWriteTime(path));
  EXPECT_GE(stamped, before - 2);
  EXPECT_LE(stamped, SystemTimeToSeconds(platform::UtcNow()) + 2);
}

TEST(FileTimes, TouchKeepsTheContent) {
  test::TempDir dir;
  const std::string path = dir / "vek.ini";
  test::WriteFile(path, "[VEK]\r\nGreedyCheck=1\r\n");
  SetFileWriteTime(path, Time(2010, 6, 1, 12, 0, 0));
  TouchFile(path);
  EXPECT_EQ(test::ReadFile(path), "[VEK]\r\nGreedyCheck=1\r\n");
  EXPECT_GT(SystemTimeToSeconds(GetFileWriteTime(path)), SystemTimeToSeconds(Time(2020, 1, 1, 0, 0, 0)));
}

TEST(FileTimes, SetAndGetWriteTimeRoundTripInUtc) {
  test::TempDir dir;
  const std::string path = dir / "vek.ini";
  test::WriteFile(path, "x");
  const SystemTime when = Time(2026, 12, 31, 23, 59, 30);
  SetFileWriteTime(path, when);
  ExpectSameSecond(GetFileWriteTime(path), when);
  EXPECT_EQ(test::ReadFile(path), "x");
}

TEST(FileTimes, SetWriteTimeOnAReadOnlyFileClearsTheAttribute) {
  test::TempDir dir;
  const std::string path = dir / "vek.ini";
  test::WriteFile(path, "settings");
  ASSERT_TRUE(platform::SetReadOnly(path, true));
  ASSERT_TRUE(platform::IsReadOnly(path));
  const SystemTime when = Time(2015, 3, 14, 9, 26, 53);
  SetFileWriteTime(path, when);
  EXPECT_FALSE(platform::IsReadOnly(path));
  ExpectSameSecond(GetFileWriteTime(path), when);
  EXPECT_EQ(test::ReadFile(path), "settings");
}

TEST(FileLock, OpensOnceAndClosesOnce) {
  test::TempDir dir;
  const std::string path = dir / "vek.ini";
  TFileLock lock;
  ASSERT_TRUE(lock.Open(path));
  EXPECT_TRUE(test::Exists(path)) << "the lock creates an absent file";
  EXPECT_TRUE(lock.Open(path)) << "a held lock stays held";
  lock.Close();
  EXPECT_FALSE(lock.IsOpen());
  lock.Close();
  EXPECT_FALSE(lock.IsOpen());
  // Released: the file can be locked anew.
  EXPECT_TRUE(lock.Open(path));
  EXPECT_TRUE(lock.IsOpen());
}

TEST(FileLock, TouchChangesNothingWhileTheLockIsHeldButTheTimeCanBeRead) {
  test::TempDir dir;
  const std::string path = dir / "vek.ini";
  test::WriteFile(path, "x");
  const SystemTime old = Time(2011, 11, 11, 11, 11, 11);
  SetFileWriteTime(path, old);
  {
    TFileLock lock;
    ASSERT_TRUE(lock.Open(path));
    TouchFile(path);
    ExpectSameSecond(GetFileWriteTime(path), old);
  }
  // The lock went with its object.
  TouchFile(path);
  EXPECT_GT(SystemTimeToSeconds(GetFileWriteTime(path)), SystemTimeToSeconds(old));
}

}  // namespace
}  // namespace vek
