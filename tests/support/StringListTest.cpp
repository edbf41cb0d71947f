// The text list: sorted insertion without duplicates, look-ups, line I/O.
#include "support/StringList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "TestSupport.h"
#include "platform/FileError.h"

namespace vek {
namespace {

using Items = std::vector<std::string>;

TEST(TStringList, SortedAddIgnoresCaseAndDropsDuplicates) {
  TStringList list;
  list.Sorted = true;
  EXPECT_EQ(list.Add("delta"), 0);
  EXPECT_EQ(list.Add("Bravo"), 0);
  EXPECT_EQ(list.Add("charlie"), 1);
  EXPECT_EQ(list.Add("alpha"), 0);
  EXPECT_EQ(list.Add("BRAVO"), -1);
  EXPECT_EQ(list.Add("delta"), -1);
  EXPECT_EQ(list.Items, (Items{"alpha", "Bravo", "charlie", "delta"}));
  EXPECT_EQ(list.IndexOf("CHARLIE"), 2);
  EXPECT_EQ(list.IndexOf("echo"), -1);
  EXPECT_EQ(list.IndexOf(""), -1);
}

TEST(TStringList, UnsortedAddKeepsOrderAndDuplicates) {
  TStringList list;
  EXPECT_EQ(list.Add("b"), 0);
  EXPECT_EQ(list.Add("a"), 1);
  EXPECT_EQ(list.Add("b"), 2);
  EXPECT_EQ(list.IndexOf("B"), 0);
  list.Insert(1, "c");
  EXPECT_EQ(list.Items, (Items{"b", "c", "a", "b"}));
  list.Delete(0);
  EXPECT_EQ(list.Items, (Items{"c", "a", "b"}));
  EXPECT_THROW(list.Delete(3), std::out_of_range);
  EXPECT_THROW(list.Insert(5, "x"), std::out_of_range);
}

TEST(TStringList, InsertAtAChosenPlaceIsRefusedWhileSorted) {
  TStringList list;
  list.Sorted = true;
  list.Add("b");
  EXPECT_THROW(list.Insert(0, "z"), std::logic_error);
  EXPECT_EQ(list.Count(), 1);
}

// Each insert moves the strings after it; under the sanitizers a move costs a
// hundred times more, so the list is smaller there.
#if defined(__SANITIZE_ADDRESS__)
constexpr int BigListSize = 4000;
#else
constexpr int BigListSize = 20000;
#endif

TEST(TStringList, TwentyThousandThreadPathsStaySortedAndFindable) {
  std::vector<std::string> paths;
  for (int i = 0; i < BigListSize; ++i)
    paths.push_back("host" + std::to_string(i % 37) + "\\board" + std::to_string(i % 113) + "\\" +
                    std::to_string(1100000000 + i * 7919) + ".idx");
  std::mt19937 rng(7);
  std::shuffle(paths.begin(), paths.end(), rng);
  TStringList list;
  list.Sorted = true;
  for (const std::string& p : paths) ASSERT_GE(list.Add(p), 0);
  for (int i = 0; i < 500; ++i) EXPECT_EQ(list.Add(paths[static_cast<size_t>(i)]), -1);
  ASSERT_EQ(list.Count(), BigListSize);
  Items copy = list.Items;
  TStringList resorted;
  resorted.Items = paths;
  resorted.Sort();
  EXPECT_EQ(resorted.Items, copy) << "insertion order and Sort must agree";
  for (size_t i = 0; i < paths.size(); i += 97) {
    const int at = list.IndexOf(paths[i]);
    ASSERT_GE(at, 0);
    EXPECT_EQ(list[at], paths[i]);
  }
}

TEST(TStringList, NamesAndValues) {
  EXPECT_EQ(TStringList::NameOf("http://a/b/subject.txt=3"), "http://a/b/subject.txt");
  EXPECT_EQ(TStringList::ValueOf("http://a/b/subject.txt=3"), "3");
  EXPECT_EQ(TStringList::NameOf("a=b=c"), "a");
  EXPECT_EQ(TStringList::ValueOf("a=b=c"), "b=c");
  EXPECT_EQ(TStringList::NameOf("plain"), "plain");
  EXPECT_EQ(TStringList::ValueOf("plain"), "");
  TStringList list;
  list.Add("http://x/a/subject.txt=1");
  list.Add("http://x/b/subject.txt=12");
  list.Add("noequals");
  EXPECT_EQ(list.IndexOfName("http://x/b/subject.txt"), 1);
  EXPECT_EQ(list.IndexOfName("HTTP://X/A/SUBJECT.TXT"), 0);
  EXPECT_EQ(list.IndexOfName("noequals"), 2);
  EXPECT_EQ(list.IndexOfName("http://x/c/subject.txt"), -1);
}

TEST(TStringList, SortIsStableForTextsThatDifferOnlyInCase) {
  TStringList list;
  for (const char* s : {"b", "A", "B", "a", "c"}) list.Add(s);
  list.Sort();
  EXPECT_EQ(list.Items, (Items{"A", "a", "b", "B", "c"}));
}

TEST(TStringList, TextLinesEndInCrLfAndLoadAcceptsEveryLineEnd) {
  TStringList list;
  list.SetText("one\r\ntwo\rthree\nfour");
  EXPECT_EQ(list.Items, (Items{"one", "two", "three", "four"}));
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
  list.SetText("x\r\n\r\n");
  EXPECT_EQ(list.Items, (Items{"x", ""}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Text(), "");
}

TEST(TStringList, SortedLoadKeepsTheFirstOfEqualTexts) {
  TStringList list;
  list.Sorted = true;
  list.SetText("b\nA\nB\na\n");
  EXPECT_EQ(list.Items, (Items{"A", "b"}));
}

TEST(TStringList, FilesRoundTripJapaneseLines) {
  test::TempDir dir;
  TStringList list;
  list.Add("2ch.net\\表示\\1234567890.idx");
  list.Add("ソフト");
  list.Add("");
  const std::string path = dir / "list.txt";
  list.SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), "2ch.net\\\x95\x5c\x8e\xa6\\1234567890.idx\r\n\x83\x5c\x83\x74\x83\x67\r\n\r\n");
  TStringList loaded;
  loaded.LoadFromFile(path);
  EXPECT_EQ(loaded.Items, list.Items);
  EXPECT_THROW(loaded.LoadFromFile(dir / "missing.txt"), FileError);
}

}  // namespace
}  // namespace vek
