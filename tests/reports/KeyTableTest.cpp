// The flat key table behind the count update and the new-thread report, and
// the line helpers they walk texts with.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "reports/KeyTable.h"
#include "support/TextLines.h"

namespace vek {
namespace {

TEST(KeyTable, FirstValueOfAKeyWinsAndAbsentKeysAreNotFound) {
  TKeyTable table;
  table.Reset(4);
  const std::string text = "100.dat<>A (1)\r\n100.dat<>B (2)\r\n";
  EXPECT_EQ(table.Find("100.dat"), nullptr);  // empty table
  EXPECT_TRUE(table.Insert(std::string_view(text).substr(0, 7), 14));
  EXPECT_FALSE(table.Insert(std::string_view(text).substr(16, 7), 14));
  ASSERT_NE(table.Find("100.dat"), nullptr);
  EXPECT_EQ(table.Find("100.dat")->Value, 14u);
  // The entry points at the first insert's bytes, so the line can be found.
  EXPECT_EQ(table.Find("100.dat")->Data, text.data());
  EXPECT_EQ(table.Count(), 1u);
  EXPECT_EQ(table.Find("100.da"), nullptr);
  EXPECT_EQ(table.Find("100.datx"), nullptr);
  EXPECT_EQ(table.Find(""), nullptr);

  // The empty key is a key like any other.
  EXPECT_TRUE(table.Insert("", 7));
  ASSERT_NE(table.Find(std::string_view()), nullptr);
  EXPECT_EQ(table.Find("")->Value, 7u);

  table.Reset(4);
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_EQ(table.Find("100.dat"), nullptr);
  EXPECT_EQ(table.Find(""), nullptr);

  // Keys are visited in the order they first came.
  for (const char* key : {"3.dat", "1.dat", "2.dat", "1.dat"}) table.Insert(key, 0);
  std::vector<std::string> visited;
  table.ForEachKey([&](std::string_view key) { visited.emplace_back(key); });
  EXPECT_EQ(visited, (std::vector<std::string>{"3.dat", "1.dat", "2.dat"}));
}

// Keys of every length up to 40 bytes, so that each byte position of the
// hashed words is exercised, many more than the table was sized for.
TEST(KeyTable, ManyKeysSurviveGrowthAndNearMissesAreNotFound) {
  std::vector<std::string> keys;
  for (int i = 0; i < 6000; ++i) {
    std::string key = std::to_string(1600000000 + i * 7) + ".dat";
    key.resize(static_cast<size_t>(i % 41), static_cast<char>('a' + i % 26));
    if (i % 41 >= 3) key[static_cast<size_t>(i % (i % 41))] = static_cast<char>(0x80 + i % 100);
    keys.push_back(key);
  }
  TKeyTable table;
  table.Reset(10);
  std::vector<bool> firstOfKey(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) firstOfKey[i] = table.Insert(keys[i], i);
  size_t distinct = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    const TKeyTable::TEntry* entry = table.Find(keys[i]);
    ASSERT_NE(entry, nullptr) << i;
    EXPECT_EQ(entry->Key(), keys[i]);
    EXPECT_EQ(keys[entry->Value], keys[i]);
    EXPECT_LE(entry->Value, i);
    if (firstOfKey[i]) {
      EXPECT_EQ(entry->Value, i);
      ++distinct;
    }
  }
  EXPECT_EQ(table.Count(), distinct);
  EXPECT_GT(distinct, 5000u);

  size_t visited = 0;
  table.ForEachKey([&](std::string_view key) {
    ++visited;
    EXPECT_NE(table.Find(key), nullptr);
  });
  EXPECT_EQ(visited, distinct);

  // One byte changed anywhere, or one byte more: not a key of the table
  // unless that text was inserted too.
  std::vector<std::string> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < keys.size(); i += 7) {
    std::vector<std::string> misses{keys[i] + "x"};
    for (size_t pos = 0; pos < keys[i].size(); ++pos) {
      misses.push_back(keys[i]);
      misses.back()[pos] = static_cast<char>(misses.back()[pos] ^ 0x01);
    }
    for (const std::string& miss : misses) {
      if (!std::binary_search(sorted.begin(), sorted.end(), miss)) {
        EXPECT_EQ(table.Find(miss), nullptr) << miss;
      }
    }
  }
}

std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

TEST(TextLines, EveryKindOfLineEnd) {
  using V = std::vector<std::string>;
  EXPECT_EQ(LinesOf(""), V{});
  EXPECT_EQ(LinesOf("a"), V{"a"});
  EXPECT_EQ(LinesOf("a\r\nb\rc\nd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(LinesOf("a\r\n"), V{"a"});
  EXPECT_EQ(LinesOf("\r\n\r\n"), (V{"", ""}));
  EXPECT_EQ(LinesOf("a\n\rb"), (V{"a", "", "b"}));  // LF CR is two line ends
  EXPECT_EQ(LinesOf("a\r\r\nb"), (V{"a", "", "b"}));
}

TEST(TextLines, WalkStopsWhenTheVisitorSaysSo) {
  std::vector<std::string> seen;
  bool whole = ForEachLineWhile("a\r\nstop\r\nc\r\n", [&](std::string_view line) {
    seen.emplace_back(line);
    return line != "stop";
  });
  EXPECT_FALSE(whole);
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "stop"}));
  EXPECT_TRUE(ForEachLineWhile("a\nb", [](std::string_view) { return true; }));
  // A last line without an end is visited too, and can stop the walk.
  EXPECT_FALSE(ForEachLineWhile("a\nb", [](std::string_view line) { return line != "b"; }));
}

TEST(TextLines, FirstLineEndIsTheFirstCrOrLf) {
  EXPECT_EQ(FirstLineEnd(""), std::string_view::npos);
  EXPECT_EQ(FirstLineEnd("abc"), std::string_view::npos);
  EXPECT_EQ(FirstLineEnd("ab\r\nc"), 2u);
  EXPECT_EQ(FirstLineEnd("ab\nc\r"), 2u);
  EXPECT_EQ(FirstLineEnd("abc\r"), 3u);
  EXPECT_EQ(FirstLineEnd("\n"), 0u);
}

}  // namespace
}  // namespace vek
