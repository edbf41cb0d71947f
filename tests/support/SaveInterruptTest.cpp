// A save cut off before its rename leaves the previous file whole.
#include <gtest/gtest.h>

#include <stdexcept>

#include "TestSupport.h"
#include "platform/Files.h"
#include "support/BuffStr.h"
#include "support/StringList.h"

namespace vek {
namespace {

struct Interrupted : std::runtime_error {
  Interrupted() : std::runtime_error("power cut") {}
};

// Arms the interruption for the lifetime of the object.
class InterruptBeforeRename {
 public:
  InterruptBeforeRename() {
    platform::SetReplaceInterruptHookForTests([this] {
      ++Calls;
      throw Interrupted();
    });
  }
  ~InterruptBeforeRename() { platform::SetReplaceInterruptHookForTests({}); }
  int Calls = 0;
};

TEST(SaveInterrupted, WriterLeavesTheOldFileAndNoLeftovers) {
  test::TempDir dir;
  const std::string path = dir / "1234567890.idx";
  const std::string old = "old record\t1\t2\r\n";
  test::WriteFile(path, old);
  TStringWriter writer;
  writer.WriteLine(std::string(100000, 'n'));
  {
    InterruptBeforeRename cut;
    EXPECT_THROW(writer.SaveToFile(path), Interrupted);
    EXPECT_EQ(cut.Calls, 1);
  }
  EXPECT_EQ(test::ReadFile(path), old);
  EXPECT_EQ(platform::ListFilesBySuffix(dir.Path(), "").size(), 1u) << "the temporary file is gone";
  writer.SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), writer.GetText());
}

TEST(SaveInterrupted, ListLeavesTheOldFile) {
  test::TempDir dir;
  const std::string path = dir / "subject_list.txt";
  test::WriteFile(path, "http://a/b/subject.txt\r\n");
  TStringList list;
  list.Add("http://c/d/subject.txt");
  {
    InterruptBeforeRename cut;
    EXPECT_THROW(list.SaveToFile(path), Interrupted);
  }
  EXPECT_EQ(test::ReadFile(path), "http://a/b/subject.txt\r\n");
  list.SaveToFile(path);
  EXPECT_EQ(test::ReadFile(path), "http://c/d/subject.txt\r\n");
}

}  // namespace
}  // namespace vek
