// Delimiter searches in Shift_JIS text never stop inside a two-byte character.
#include "support/SjisText.h"

#include <gtest/gtest.h>

namespace vek {
namespace {

constexpr size_t npos = std::string_view::npos;

TEST(SjisText, TrailByteFiveCIsNotABackslash) {
  const std::string path = "表\\ソ\\1.idx";  // 95 5C 5C 83 5C 5C 31 ...
  ASSERT_EQ(path.substr(0, 3), "\x95\x5c\x5c");
  EXPECT_EQ(SjisFind(path, '\\'), 2u);
  EXPECT_EQ(SjisFind(path, '\\', 3), 5u);
  EXPECT_EQ(SjisFind(path, '\\', 6), npos);
  EXPECT_EQ(SjisFindLast(path, '\\'), 5u);
  EXPECT_EQ(SjisSplit(path, '\\'), (std::vector<std::string>{"表", "ソ", "1.idx"}));
  EXPECT_EQ(SjisFind("\x95\x5c", '\\'), npos);
  EXPECT_EQ(SjisFindLast("\x95\x5c\x83\x5c", '\\'), npos);
}

TEST(SjisText, HalfWidthKanaAndStrayBytesAreSingleCharacters) {
  // A1..DF are one-byte kana: the byte after one is a character of its own.
  EXPECT_EQ(SjisFind("\xb1\\", '\\'), 1u);
  EXPECT_EQ(SjisFind("\xa0\\", '\\'), 1u);
  EXPECT_EQ(SjisFind("\xfd\\", '\\'), 1u);
  // A lead byte at the very end stands alone and hides nothing.
  EXPECT_EQ(SjisSplit("a\\\x95", '\\'), (std::vector<std::string>{"a", "\x95"}));
}

TEST(SjisText, FindTextStartsOnlyAtCharacterBoundaries) {
  // 81 7C is a full-width minus whose trail byte is "|".
  const std::string text = "\x81\x7cx|x<>";
  EXPECT_EQ(SjisFindText(text, "|x"), 3u);
  EXPECT_EQ(SjisFindText(text, "<>"), 5u);
  EXPECT_EQ(SjisFindText(text, "|x", 4), npos);
  EXPECT_EQ(SjisFindText(text, "zz"), npos);
  EXPECT_EQ(SjisFindText(text, "", 2), 2u);
  EXPECT_EQ(SjisFindText("ab", "abc"), npos);
}

TEST(SjisText, ReplaceAllLeavesTrailBytesAlone) {
  // "表" is 95 5C: its trail byte is no backslash to replace.
  EXPECT_EQ(SjisReplaceAll("host\\表\\1", "\\", "/"), "host/表/1");
  EXPECT_EQ(SjisReplaceAll("\x81\x7cx|x", "|x", "!"), "\x81\x7cx!");
  EXPECT_EQ(SjisReplaceAll("abc", "", "-"), "abc");
}

TEST(SjisText, SplitGivesOneMorePartThanDelimiters) {
  EXPECT_EQ(SjisSplit("", ','), (std::vector<std::string>{""}));
  EXPECT_EQ(SjisSplit(",", ','), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(SjisSplit("a<>b", '<'), (std::vector<std::string>{"a", ">b"}));
  EXPECT_EQ(SjisSplit("名前,,本文", ',').size(), 3u);
}

}  // namespace
}  // namespace vek
