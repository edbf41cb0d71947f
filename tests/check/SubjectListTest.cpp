// Which boards a run downloads, and how many watched threads each carries.
#include <gtest/gtest.h>

#include "FormTestSupport.h"
#include "check/SubjectList.h"

namespace vek::test {
namespace {

class SubjectList : public ::testing::Test {
 protected:
  TVekMainForm& Start() {
    Fixture.WriteSettings();
    TVekMainForm& form = Fixture.Create();
    Fixture.View.Log.clear();
    return form;
  }
  std::vector<std::string> Generate(TVekMainForm& form, const std::string& userFile,
                                    const std::vector<std::string>& entries) {
    TStringList subjects;
    subjects.SetText(userFile);
    TStringList dats;
    dats.Items = entries;
    GenerateSubjectList(form.RunContext(), subjects, dats);
    return subjects.Items;
  }
  TFormFixture Fixture;
};

const std::string Board = "http://egg.5ch.net/test/subject.txt";

TEST_F(SubjectList, ThreadsOfOneBoardMakeOneCountedLine) {
  TVekMainForm& form = Start();
  EXPECT_EQ(Generate(form, "", {"egg.5ch.net\\test\\1.idx", "egg.5ch.net\\test\\2.idx", "egg.5ch.net\\test\\3.idx"}),
            std::vector<std::string>{Board + "=3"});
}

TEST_F(SubjectList, UserLinesKeepTheirPlaceAndCount) {
  TVekMainForm& form = Start();
  const std::vector<std::string> two = {"egg.5ch.net\\test\\1.idx", "egg.5ch.net\\test\\2.idx"};
  EXPECT_EQ(Generate(form, "http://other.5ch.net/a/subject.txt\r\n" + Board + "=0\r\n", two),
            (std::vector<std::string>{"http://other.5ch.net/a/subject.txt", Board + "=2"}));
  // A line without "=" is never counted into: the board comes a second time.
  EXPECT_EQ(Generate(form, Board + "\r\n", two), (std::vector<std::string>{Board, Board + "=2"}));
  // A count that is not a number starts from 0.
  EXPECT_EQ(Generate(form, Board + "=many\r\n", {two[0]}), std::vector<std::string>{Board + "=1"});
  // Without watched threads the list is the user's file, line for line.
  EXPECT_EQ(Generate(form, "x\r\ny=z=1\r\n\r\nw", {}), (std::vector<std::string>{"x", "y=z=1", "", "w"}));
}

TEST_F(SubjectList, BoardNamesDifferingInCaseShareALineSpeltAsTheLatestEntry) {
  TVekMainForm& form = Start();
  EXPECT_EQ(Generate(form, "", {"egg.5ch.net\\test\\1.idx", "egg.5ch.net\\TEST\\2.idx"}),
            std::vector<std::string>{"http://egg.5ch.net/TEST/subject.txt=2"});
}

TEST_F(SubjectList, PrimaryPathsDecodeSlashesAndPorts) {
  TVekMainForm& form = Start();
  EXPECT_EQ(SubjectUrlOfEntry(form.RunContext(), "egg.5ch.net\\test\\1.idx"), Board);
  EXPECT_EQ(SubjectUrlOfEntry(form.RunContext(), "host.5ch.net%3A8080\\a%2Fb\\1.idx"), "http://host.5ch.net:8080/a/b/subject.txt");
  EXPECT_EQ(SubjectUrlOfEntry(form.RunContext(), "sub.bbspink.com\\x\\1.idx"), "http://sub.bbspink.com/x/subject.txt");
  EXPECT_EQ(SubjectUrlOfEntry(form.RunContext(), "5ch.net"), "http://subject.txt");
}

TEST_F(SubjectList, ExternalBoardsComeFromTheIndexFile) {
  Fixture.WriteIndex("jbbs\\game\\1.idx", "0", "jbbs.example.net", "game/12345");
  Fixture.WriteIndex("ports\\b\\2.idx", "0", "127.0.0.1:8080", "b");
  WriteFile(Fixture.Log("short\\b\\3.idx"), "0\t0\t5\ttitle\thost.example.org");
  Fixture.WriteIndex("evil\\b\\4.idx", "0", "..", "b");
  Fixture.WriteIndex("evil\\b\\5.idx", "0", "host.example.org", "..\\..\\x");
  TVekMainForm& form = Start();
  EXPECT_EQ(SubjectUrlOfEntry(form.RunContext(), "jbbs\\game\\1.idx"), "http://jbbs.example.net/game/12345/subject.txt");
  EXPECT_EQ(SubjectUrlOfEntry(form.RunContext(), "ports\\b\\2.idx"), "http://127.0.0.1:8080/b/subject.txt");
  EXPECT_EQ(Generate(form, "", {"short\\b\\3.idx", "evil\\b\\4.idx", "evil\\b\\5.idx", "jbbs\\game\\1.idx"}),
            std::vector<std::string>{"http://jbbs.example.net/game/12345/subject.txt=1"});
  ASSERT_EQ(Fixture.View.Log.size(), 3u);
  EXPECT_EQ(Fixture.View.Log[0], "  Skipped (index file without host and board): short\\b\\3.idx");
  EXPECT_EQ(Fixture.View.Log[1], "  Refused host or board outside the subject cache: evil\\b\\4.idx");
}

TEST(CountBoardEntry, FindsOnlyNamedLinesIgnoringCase) {
  TStringList list;
  list.SetText("HTTP://A/b/subject.txt=4\r\nhttp://c/d/subject.txt\r\n");
  CountBoardEntry(list, "http://a/b/subject.txt");
  CountBoardEntry(list, "http://c/d/subject.txt");
  EXPECT_EQ(list.Items, (std::vector<std::string>{"http://a/b/subject.txt=5", "http://c/d/subject.txt",
                                                  "http://c/d/subject.txt=1"}));
}

}  // namespace
}  // namespace vek::test
