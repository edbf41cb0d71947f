// Last-write times and the no-sharing lock on the settings file.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Clock.h"
#include "platform/FileTimes.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/FileError.h"

namespace vek::platform {
namespace {

using test::TempDir;

SystemTime At(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute, uint16_t second,
              uint16_t ms = 0) {
  SystemTime t;
  t.Year = year;
  t.Month = month;
  t.Day = day;
  t.Hour = hour;
  t.Minute = minute;
  t.Second = second;
  t.Milliseconds = ms;
  return t;
}

// Seconds since the start of the year 2000, enough to compare nearby times.
int64_t Seconds(const SystemTime& t) {
  static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  int64_t days = 0;
  for (int y = 2000; y < t.Year; ++y) days += (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) ? 366 : 365;
  days += before[t.Month - 1] + t.Day - 1;
  if (t.Month > 2 && (t.Year % 4 == 0 && (t.Year % 100 != 0 || t.Year % 400 == 0))) ++days;
  return ((days * 24 + t.Hour) * 60 + t.Minute) * 60 + t.Second;
}

void ExpectSameTime(const SystemTime& a, const SystemTime& b) {
  EXPECT_EQ(a.Year, b.Year);
  EXPECT_EQ(a.Month, b.Month);
  EXPECT_EQ(a.Day, b.Day);
  EXPECT_EQ(a.Hour, b.Hour);
  EXPECT_EQ(a.Minute, b.Minute);
  EXPECT_EQ(a.Second, b.Second);
  EXPECT_EQ(a.Milliseconds, b.Milliseconds);
}

TEST(FileTimes, ReadingTheTimeOfAnAbsentFileCreatesItEmptyNow) {
  TempDir dir;
  std::string path = dir.Path() + "vek.ini";
  SystemTime before = UtcNow();
  SystemTime written;
  ASSERT_TRUE(GetWriteTimeByPath(path, written));
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(ReadWholeFile(path), "");
  int64_t delta = Seconds(written) - Seconds(before);
  EXPECT_GE(delta, -2);
  EXPECT_LE(delta, 60);
}

TEST(FileTimes, SetAndGetAWriteTimeInUtc) {
  TempDir dir;
  std::string path = dir.Path() + "vek.ini";
  ReplaceFileAtomically(path, "[VEK]\r\nAutoStart=1\r\n");
  // The last second of a leap year: no local-time step may shift it.
  SystemTime stamp = At(2024, 12, 31, 23, 59, 59, 250);
  FileHandle h = OpenNoShare(path);
  ASSERT_NE(h, 0);
  EXPECT_TRUE(SetHandleWriteTime(h, stamp));
  CloseHandle(h);
  SystemTime read;
  ASSERT_TRUE(GetWriteTimeByPath(path, read));
  ExpectSameTime(read, stamp);
  EXPECT_EQ(ReadWholeFile(path), "[VEK]\r\nAutoStart=1\r\n");  // opening never changes content

  // Touch: set to now, then back to the remembered time.
  h = OpenNoShare(path);
  ASSERT_NE(h, 0);
  SystemTime now = UtcNow();
  EXPECT_TRUE(SetHandleWriteTime(h, now));
  CloseHandle(h);
  ASSERT_TRUE(GetWriteTimeByPath(path, read));
  EXPECT_EQ(Seconds(read), Seconds(now));
  h = OpenNoShare(path);
  EXPECT_TRUE(SetHandleWriteTime(h, stamp));
  CloseHandle(h);
  ASSERT_TRUE(GetWriteTimeByPath(path, read));
  ExpectSameTime(read, stamp);
}

TEST(FileTimes, NoShareLockKeepsOthersOutButNotTheTimeQuery) {
  TempDir dir;
  std::string path = dir.Path() + "vek.ini";
  FileHandle held = OpenNoShare(path);  // creates the absent file
  ASSERT_NE(held, 0);
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(OpenNoShare(path), 0);
  EXPECT_THROW(ReadWholeFile(path), FileError);
  EXPECT_THROW(ReplaceFileAtomically(path, "overwritten"), FileError);
  EXPECT_FALSE(IniWriteString(path, "VEK", "AutoStart", "1"));
  SystemTime stamp = At(2023, 3, 1, 0, 0, 10);
  EXPECT_TRUE(SetHandleWriteTime(held, stamp));
  SystemTime read;
  ASSERT_TRUE(GetWriteTimeByPath(path, read));
  EXPECT_EQ(Seconds(read), Seconds(stamp));
  CloseHandle(held);

  FileHandle again = OpenNoShare(path);
  EXPECT_NE(again, 0);
  CloseHandle(again);
  EXPECT_EQ(ReadWholeFile(path), "");
}

TEST(FileTimes, NoHandleDoesNothing) {
  EXPECT_FALSE(SetHandleWriteTime(0, At(2020, 1, 1, 0, 0, 0)));
  CloseHandle(0);
  TempDir dir;
  SystemTime read;
  EXPECT_FALSE(GetWriteTimeByPath(dir.Path() + "missing\\vek.ini", read));
  EXPECT_EQ(OpenNoShare(dir.Path() + "missing\\vek.ini"), 0);
}

TEST(FileTimes, ReadOnlyFileGetsItsTimeAfterTheAttributeIsCleared) {
  TempDir dir;
  std::string path = dir.Path() + "表.ini";
  ReplaceFileAtomically(path, "x");
  ASSERT_TRUE(SetReadOnly(path, true));
  ASSERT_TRUE(SetReadOnly(path, false));
  FileHandle h = OpenNoShare(path);
  ASSERT_NE(h, 0);
  SystemTime stamp = At(2019, 2, 28, 12, 0, 0);
  EXPECT_TRUE(SetHandleWriteTime(h, stamp));
  CloseHandle(h);
  SystemTime read;
  ASSERT_TRUE(GetWriteTimeByPath(path, read));
  ExpectSameTime(read, stamp);
  EXPECT_FALSE(IsReadOnly(path));
}

}  // namespace
}  // namespace vek::platform
