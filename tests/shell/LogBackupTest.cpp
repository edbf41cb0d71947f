// The backup's stops, with the messages the user sees; the moves themselves
// are covered end to end.
#include <gtest/gtest.h>

#include "../check/FormTestSupport.h"
#include "shell/LogBackup.h"

namespace vek::test {
namespace {

std::string StopMessage(TVekMainForm& form) {
  try {
    form.BackupMenuClick();
  } catch (const TBackupStop& e) {
    return e.what();
  }
  return "(no stop)";
}

TEST(LogBackup, StopsWithTheRuntimesMessagesAndKeepsEarlierMoves) {
  TFormFixture f;
  f.WriteSettings();
  TVekMainForm& form = f.Create();

  // No thread list: the open error names the file and gives the system's reason.
  const std::string missing = StopMessage(form);
  const std::string prefix = "ファイル \"" + f.Dor("favorite.idx") + "\" は開けません。";
  EXPECT_EQ(missing.rfind(prefix, 0), 0u) << missing;
  EXPECT_GT(missing.size(), prefix.size()) << "the reason is missing";

  // An index with one item only stops at its line, after the line before it moved.
  f.WriteIndex("h\\b\\1.idx", "16");
  WriteFile(f.Log("h\\b\\2.idx"), "0");
  f.WriteIndex("h\\b\\3.idx", "16");
  WriteFile(f.Dor("favorite.idx"), "h\\b\\1.idx\r\nh\\b\\2.idx\r\nh\\b\\3.idx\r\n");
  EXPECT_EQ(StopMessage(form), "リストのインデックスが範囲を超えています (1)");
  EXPECT_TRUE(Exists(f.Dor("backlog\\h\\b\\1.idx")));
  EXPECT_TRUE(Exists(f.Log("h\\b\\3.idx")));
  EXPECT_TRUE(f.View.Messages.empty());

  // Without a host directory nothing is read from the current directory.
  form.SetDorPath("");
  EXPECT_EQ(StopMessage(form), "Dorvellaのディレクトリが設定されていません");
}

}  // namespace
}  // namespace vek::test
