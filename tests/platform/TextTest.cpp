// Terminal text conversion, the sorted-list comparison and the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Collate.h"
#include "platform/Console.h"
#include "platform/Env.h"

namespace vek::platform {
namespace {

std::string Bytes(const char8_t* utf8) { return std::string(reinterpret_cast<const char*>(utf8)); }

TEST(Text, Cp932AndUtf8RoundTrip) {
  // Literals are code page 932 in this program; u8 literals stay UTF-8.
  std::string cp932 = "表示ソ～＠｀ abc\\";
  ASSERT_EQ(std::string("～"), "\x81\x60");
  EXPECT_EQ(Cp932ToUtf8(cp932), Bytes(u8"表示ソ～＠｀ abc\\"));
  EXPECT_EQ(Utf8ToCp932(Bytes(u8"表示ソ～＠｀ abc\\")), cp932);
  EXPECT_EQ(Cp932ToUtf8("ascii only"), "ascii only");
  EXPECT_EQ(Cp932ToUtf8(""), "");
  EXPECT_EQ(Utf8ToCp932(Bytes(u8"ｶﾀｶﾅ")), "\xB6\xC0\xB6\xC5");
}

TEST(Text, CharactersWithoutACp932FormBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp932(Bytes(u8"a\u00E4b")), "a?b");
  EXPECT_EQ(Utf8ToCp932(Bytes(u8"\u0E01表")), "?表");
}

TEST(Text, CompareIgnoresAsciiCase) {
  EXPECT_EQ(CompareTextNoCase("Host\\Board\\123.idx", "host\\board\\123.IDX"), 0);
  EXPECT_LT(CompareTextNoCase("abc", "abd"), 0);
  EXPECT_GT(CompareTextNoCase("abd", "ABC"), 0);
  EXPECT_LT(CompareTextNoCase("ab", "abc"), 0);
  EXPECT_GT(CompareTextNoCase("abc", "AB"), 0);
  EXPECT_EQ(CompareTextNoCase("", ""), 0);
  EXPECT_LT(CompareTextNoCase("1000000000", "1030000000"), 0);
  // Two different characters whose trail bytes are "A" and "a" stay apart.
  EXPECT_NE(CompareTextNoCase("\x83\x41", "\x83\x61"), 0);
  EXPECT_EQ(CompareTextNoCase("表\\A", "表\\a"), 0);
  int forward = CompareTextNoCase("ア", "ヂ");
  EXPECT_NE(forward, 0);
  EXPECT_EQ(CompareTextNoCase("ヂ", "ア"), -forward);
}

TEST(Text, SortOrderFollowsTheWindowsWordSort) {
  // Symbols before digits before letters, "\\" among the symbols, and the
  // hyphen weighing nothing until it breaks a tie.
  std::vector<std::string> paths = {"board\\2.idx",  "board_x\\1.idx", "board\\10.idx",  "Board1\\1.idx",
                                    "board-a\\1.idx", "boarda\\1.idx",  "board.b\\1.idx", "board~\\1.idx"};
  std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) { return CompareTextNoCase(a, b) < 0; });
  EXPECT_EQ(paths, (std::vector<std::string>{"board.b\\1.idx", "board_x\\1.idx", "board~\\1.idx", "board\\10.idx",
                                             "board\\2.idx", "Board1\\1.idx", "boarda\\1.idx", "board-a\\1.idx"}));
  EXPECT_LT(CompareTextNoCase("news\\1.idx", "news4vip\\1.idx"), 0);
  EXPECT_LT(CompareTextNoCase("ab", "a-b"), 0);
  EXPECT_LT(CompareTextNoCase("a-b", "ac"), 0);
  EXPECT_GT(CompareTextNoCase("a'b", "ab"), 0);
  EXPECT_GT(CompareTextNoCase("a-b", "a'b"), 0);
  EXPECT_GT(CompareTextNoCase("-a", "a-"), 0);
  EXPECT_GT(CompareTextNoCase("-", ""), 0);
  EXPECT_GT(CompareTextNoCase("a--b", "a-b"), 0);
  // Only texts equal but for ASCII case are equal.
  EXPECT_NE(CompareTextNoCase("a\x01", "a\x02"), 0);
  EXPECT_NE(CompareTextNoCase("a-b", "a'b"), 0);
  EXPECT_EQ(CompareTextNoCase("News4VIP-x", "news4vip-X"), 0);
  // Long shared beginnings end inside a character or beside a hyphen.
  EXPECT_LT(CompareTextNoCase("1700000000.dat<>表\\A1", "1700000000.dat<>表\\a2"), 0);
  EXPECT_NE(CompareTextNoCase("x\\board\x83\x41", "x\\board\x83\x61"), 0);
  EXPECT_NE(CompareTextNoCase("ab\x95", "ab\x95\x5C"), 0);
  EXPECT_GT(CompareTextNoCase("abc-x", "abcx"), 0);
  EXPECT_LT(CompareTextNoCase("abc-x", "abc-y"), 0);
}

TEST(Clock, DateAndTimeAsAJapaneseSystemShowsThem) {
  SystemTime t;
  t.Year = 2026;
  t.Month = 1;
  t.Day = 5;
  t.Hour = 9;
  t.Minute = 5;
  t.Second = 3;
  // Year, month and day in this order; whether month and day are padded is
  // the user's choice on Windows ("2026/01/05" here, "2026/1/5" in Wine).
  std::string date = ShortDateText(t);
  int year = 0, month = 0, day = 0;
  char rest = 0;
  ASSERT_EQ(std::sscanf(date.c_str(), "%d/%d/%d%c", &year, &month, &day, &rest), 3) << date;
  EXPECT_EQ(year, 2026);
  EXPECT_EQ(month, 1);
  EXPECT_EQ(day, 5);
  t.Month = 12;
  t.Day = 31;
  EXPECT_NE(ShortDateText(t).find("/12/31"), std::string::npos);
  EXPECT_EQ(LongTimeText(t), "9:05:03");
  t.Hour = 23;
  EXPECT_EQ(LongTimeText(t), "23:05:03");
  EXPECT_EQ(DecimalSeparator(), '.');
}

TEST(Clock, TicksAdvanceAcrossASleep) {
  uint32_t start = TickCount();
  Sleep(60);
  uint32_t elapsed = TickCount() - start;  // unsigned: right across a wrap too
  EXPECT_GE(elapsed, 40u);
  EXPECT_LT(elapsed, 10000u);
  TEnv& env = TEnv::Default();
  uint32_t viaEnv = env.TickCount() - start;
  EXPECT_GE(viaEnv, elapsed);
}

TEST(Clock, NowIsPlausibleAndPeriodsAreGranted) {
  SystemTime utc = UtcNow(), local = LocalNow();
  EXPECT_GE(utc.Year, 2024);
  EXPECT_GE(utc.Month, 1);
  EXPECT_LE(utc.Month, 12);
  EXPECT_LE(utc.DayOfWeek, 6);
  EXPECT_LT(utc.Milliseconds, 1000);
  EXPECT_GE(local.Year, 2024);
  uint32_t period = BeginTimerPeriod();
  EXPECT_GE(period, 1u);
  EndTimerPeriod(period);
}

}  // namespace
}  // namespace vek::platform
