// Which watched threads enter the Dat list, from which thread list files.
#include <gtest/gtest.h>

#include <algorithm>

#include "FormTestSupport.h"
#include "check/DatList.h"
#include "platform/Collate.h"

namespace vek::test {
namespace {

class DatList : public ::testing::Test {
 protected:
  TVekMainForm& Start(const std::string& extraKeys = "") {
    Fixture.WriteSettings(extraKeys);
    TVekMainForm& form = Fixture.Create();
    Fixture.View.Log.clear();
    return form;
  }
  std::vector<std::string> Generate(TVekMainForm& form, bool first = true) {
    TStringList list;
    GenerateDatList(form.RunContext(), list, first);
    return list.Items;
  }
  std::vector<std::string> ReadLines() const {
    std::vector<std::string> reads;
    for (const std::string& line : Fixture.View.Log) {
      if (line.rfind("  Read: ", 0) == 0) reads.push_back(line.substr(8 + Fixture.DorPath().size()));
    }
    std::sort(reads.begin(), reads.end());
    return reads;
  }
  TFormFixture Fixture;
};

TEST_F(DatList, OneEntryPerThreadWhateverTheCaseOrFile) {
  Fixture.WriteIndex("egg.5ch.net\\test\\1.idx", "0");
  Fixture.WriteIndex("egg.5ch.net\\test\\2.idx", "0");
  WriteFile(Fixture.Dor("favorite.idx"), "egg.5ch.net\\test\\2.idx\r\negg.5ch.net\\test\\1.idx\r\negg.5ch.net\\test\\1.idx\n");
  WriteFile(Fixture.Dor("other.idx"), "EGG.5ch.net\\test\\1.idx\regg.5ch.net\\test\\2.idx");
  TVekMainForm& form = Start();
  const auto list = Generate(form);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(platform::CompareTextNoCase(list[0], "egg.5ch.net\\test\\1.idx"), 0);
  EXPECT_EQ(list[1], "egg.5ch.net\\test\\2.idx");
}

TEST_F(DatList, TheFirstSpellingOfAThreadIsKept) {
  Fixture.WriteIndex("egg.5ch.net\\Test\\1.idx", "0");
  Fixture.WriteIndex("egg.5ch.net\\test\\1.idx", "0");
  Fixture.WriteIndex("egg.5ch.net\\test\\0.idx", "0");
  WriteFile(Fixture.Dor("favorite.idx"), "egg.5ch.net\\Test\\1.idx\r\negg.5ch.net\\test\\1.idx\r\negg.5ch.net\\test\\0.idx\r\n");
  TVekMainForm& form = Start();
  EXPECT_EQ(Generate(form), (std::vector<std::string>{"egg.5ch.net\\test\\0.idx", "egg.5ch.net\\Test\\1.idx"}));
}

TEST_F(DatList, FallenAndMalformedIndexFilesAreLeftOut) {
  Fixture.WriteIndex("a.5ch.net\\b\\48.idx", "48");
  Fixture.WriteIndex("a.5ch.net\\b\\32.idx", "32");
  Fixture.WriteIndex("a.5ch.net\\b\\abc.idx", "abc");
  WriteFile(Fixture.Log("a.5ch.net\\b\\short.idx"), "0");
  WriteFile(Fixture.Log("a.5ch.net\\b\\empty.idx"), "");
  WriteFile(Fixture.Dor("favorite.idx"),
            "a.5ch.net\\b\\48.idx\r\na.5ch.net\\b\\32.idx\r\na.5ch.net\\b\\abc.idx\r\n"
            "a.5ch.net\\b\\short.idx\r\na.5ch.net\\b\\empty.idx\r\na.5ch.net\\b\\missing.idx\r\n\r\n");
  TVekMainForm& form = Start();
  EXPECT_EQ(Generate(form), std::vector<std::string>{"a.5ch.net\\b\\32.idx"});
  EXPECT_TRUE(IsOpenThread(form.RunSettings(), "a.5ch.net\\b\\32.idx"));
  EXPECT_FALSE(IsOpenThread(form.RunSettings(), "a.5ch.net\\b\\abc.idx"));
  EXPECT_FALSE(IsOpenThread(form.RunSettings(), ""));
}

TEST_F(DatList, ExternalBoardsOnlyWhenExternalCheckIsOn) {
  Fixture.WriteIndex("a.5ch.net\\b\\1.idx", "0");
  Fixture.WriteIndex("ext.example.org\\b\\2.idx", "0", "ext.example.org", "b");
  WriteFile(Fixture.Dor("favorite.idx"), "a.5ch.net\\b\\1.idx\r\next.example.org\\b\\2.idx\r\n");
  TVekMainForm& form = Start();
  EXPECT_EQ(Generate(form).size(), 2u);
  form.SetMenuCheck(form.ExternalCheckMenu, false);
  EXPECT_FALSE(IsCheckedNetwork(form.RunSettings(), "ext.example.org\\b\\2.idx"));
  EXPECT_TRUE(IsCheckedNetwork(form.RunSettings(), "a.5ch.net\\b\\1.idx"));
  EXPECT_EQ(Generate(form), std::vector<std::string>{"a.5ch.net\\b\\1.idx"});
  // The suffixes are configuration: with none, nothing counts as primary.
  form.PrimarySuffixes = "";
  EXPECT_FALSE(IsCheckedNetwork(form.RunSettings(), "a.5ch.net\\b\\1.idx"));
}

TEST_F(DatList, IgnoreListIsASubstringTestAndRegenerationReadsEverything) {
  for (const char* name : {"favorite.idx", "myfavorite.idx", "work.idx"}) WriteFile(Fixture.Dor(name), "");
  TVekMainForm& form = Start("IgnoreIdxList=myfavorite.idx;\r\n");
  ASSERT_EQ(form.IgnoreIdxList(), "myfavorite.idx;");
  Generate(form, true);
  EXPECT_EQ(ReadLines(), std::vector<std::string>{"work.idx"});
  Fixture.View.Log.clear();
  Generate(form, false);
  EXPECT_EQ(ReadLines(), (std::vector<std::string>{"favorite.idx", "myfavorite.idx", "work.idx"}));
}

TEST_F(DatList, SelectedIndexFileAloneInTheFirstGeneration) {
  for (const char* name : {"a.idx", "b.idx", "c.idx"}) WriteFile(Fixture.Dor(name), "");
  TVekMainForm& form = Start("IgnoreIdxList=a.idx;\r\n");
  form.SetIdxType(2);
  const std::string chosen = form.IdxComboBox.Items[2];
  Generate(form, true);
  EXPECT_EQ(ReadLines(), std::vector<std::string>{chosen});
  Fixture.View.Log.clear();
  Generate(form, false);
  EXPECT_EQ(ReadLines(), (std::vector<std::string>{"a.idx", "b.idx", "c.idx"}));
}

TEST_F(DatList, BoardListAndNewArrivalListAreNeverRead) {
  for (const char* name : {"favorite.idx", "FAVBOARD.idx", "$$$$$$$$.idx", "news.idx", "notes.txt"}) {
    WriteFile(Fixture.Dor(name), "");
  }
  TVekMainForm& form = Start("NewIdxName=NEWS.IDX\r\n");
  Generate(form);
  EXPECT_EQ(ReadLines(), (std::vector<std::string>{"$$$$$$$$.idx", "favorite.idx"}));
  std::vector<std::string> listed;
  ListIdxFiles(form.RunSettings(), listed, false);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"$$$$$$$$.idx", "favorite.idx"}));
}

TEST_F(DatList, HostDirectoryWithoutThreadListFiles) {
  TVekMainForm& form = Start();
  EXPECT_TRUE(Generate(form).empty());
  EXPECT_EQ(Fixture.View.Log, std::vector<std::string>{"  Generate Idx List ... done"});
}

TEST_F(DatList, PathsLeavingTheLogDirectoryAreRefusedAndNeverOpened) {
  // A file that a ".." path would reach: it must not be taken.
  WriteFile(Fixture.Dir / "outside.idx", "0\t0\t");
  Fixture.WriteIndex("a.5ch.net\\b\\1.idx", "0");
  WriteFile(Fixture.Dor("favorite.idx"),
            "..\\..\\outside.idx\r\na.5ch.net\\..\\..\\..\\outside.idx\r\nC:\\outside.idx\r\n\\abs.idx\r\n"
            "/etc/passwd\r\na.5ch.net\\b\\1.idx\r\n");
  TVekMainForm& form = Start();
  EXPECT_EQ(Generate(form), std::vector<std::string>{"a.5ch.net\\b\\1.idx"});
  int refusals = 0;
  for (const std::string& line : Fixture.View.Log) {
    if (line.rfind("  Refused thread path outside the log directory: ", 0) == 0) ++refusals;
  }
  EXPECT_EQ(refusals, 5);
  EXPECT_FALSE(IsOpenThread(form.RunSettings(), "..\\..\\outside.idx"));
}

}  // namespace
}  // namespace vek::test
