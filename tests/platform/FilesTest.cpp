// Whole-file reads, atomic replacement, listing by suffix, directories and
// Japanese names, the same on every platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/FileError.h"

namespace vek::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Every entry of a directory, as the file system names them.
std::vector<fs::path> Entries(const TempDir& dir) {
  std::vector<fs::path> entries;
  for (const auto& e : fs::directory_iterator(fs::path(dir.Path()))) entries.push_back(e.path().filename());
  return entries;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(Files, ReplaceWritesExactBytesAndLeavesNothingBeside) {
  TempDir dir;
  std::string path = dir.Path() + "board.idx";
  std::string first("one\r\ntwo\0three\n", 15);
  ReplaceFileAtomically(path, first);
  EXPECT_EQ(ReadWholeFile(path), first);
  ReplaceFileAtomically(path, "shorter");
  EXPECT_EQ(ReadWholeFile(path), "shorter");
  ReplaceFileAtomically(path, "");
  EXPECT_EQ(ReadWholeFile(path), "");
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(Entries(dir).size(), 1u);
}

TEST(Files, InterruptedReplaceKeepsTheOldFileAndRemovesTheTemporary) {
  TempDir dir;
  std::string path = dir.Path() + "subject.txt";
  ReplaceFileAtomically(path, "old contents\r\n");
  SetReplaceInterruptHookForTests([] { throw std::runtime_error("killed before the rename"); });
  EXPECT_THROW(ReplaceFileAtomically(path, "new contents that never arrive\r\n"), std::runtime_error);
  // A read-only target is made writable for the rename; an interrupted
  // write must not leave it changed either.
  ASSERT_TRUE(SetReadOnly(path, true));
  EXPECT_THROW(ReplaceFileAtomically(path, "again"), std::runtime_error);
  SetReplaceInterruptHookForTests(nullptr);
  EXPECT_EQ(test::ReadFile(path), "old contents\r\n");
  EXPECT_TRUE(IsReadOnly(path));
  EXPECT_EQ(Entries(dir).size(), 1u);

  ReplaceFileAtomically(path, "finally");
  EXPECT_EQ(ReadWholeFile(path), "finally");
}

// A killed writer's temporary file is removed; a write under way (its process
// runs: here this one) and every other name stay.
TEST(Files, SweepRemovesOnlyTemporariesOfEndedProcesses) {
  TempDir dir;
  const std::string path = dir.Path() + "123.idx";
  // 99999999 is no process: above Linux's largest id, and no multiple of 4 as
  // every Windows process id is.
  const std::string stale = ".vek-99999999-7.tmp";
  for (const char* name : {".vek-99999999-7.tmp", "a.tmp", ".vek-x-1.tmp", ".vek-99999999-1.txt", "123.idx"})
    test::WriteFile(dir.Path() + name, "bytes");
  ASSERT_TRUE(CreateDirectories(dir.Path() + ".vek-99999999-2.tmp"));
  std::string live;
  SetReplaceInterruptHookForTests([&] {
    for (const fs::path& e : Entries(dir))
      if (TemporaryFileOwner(e.string()) != 0 && e.string() != stale && fs::is_regular_file(dir.Path() + e.string()))
        live = e.string();
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.Path()), 1);
  });
  ReplaceFileAtomically(path, "new");
  SetReplaceInterruptHookForTests(nullptr);
  EXPECT_NE(live, "");
  EXPECT_EQ(ReadWholeFile(path), "new");
  std::vector<std::string> names;
  for (const fs::path& e : Entries(dir)) names.push_back(e.string());
  EXPECT_EQ(Sorted(names), Sorted({".vek-99999999-1.txt", ".vek-99999999-2.tmp", ".vek-x-1.tmp", "123.idx", "a.tmp"}));
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.Path()), 0);
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir.Path() + "missing\\"), 0);
  EXPECT_EQ(TemporaryFileOwner(".vek-12-0.tmp"), 12u);
  for (const char* other : {".vek--0.tmp", ".vek-12-.tmp", ".vek-12.tmp", ".vek-99999999999-0.tmp", "x.vek-12-0.tmp"})
    EXPECT_EQ(TemporaryFileOwner(other), 0u) << other;
}

// A batch: every file written with its exact bytes; a failure in the middle
// (a locked file, an interruption before a rename) leaves each file old or
// new and no temporary behind.
TEST(Files, ReplacingTogetherWritesEveryFileOrLeavesItOld) {
  TempDir dir;
  std::vector<TFileReplacement> batch;
  for (int i = 0; i < 20; ++i) batch.push_back({dir.Path() + "t" + std::to_string(i) + ".idx", "old " + std::to_string(i)});
  ReplaceFilesTogether(batch);
  ASSERT_TRUE(SetReadOnly(batch[3].Path, true));
  for (int i = 0; i < 20; ++i) batch[i].Bytes = "new\t" + std::to_string(i) + std::string(i * 100, 'x') + "\r\n";
  ReplaceFilesTogether(batch);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadWholeFile(batch[i].Path), batch[i].Bytes);
  EXPECT_FALSE(IsReadOnly(batch[3].Path));
  EXPECT_EQ(Entries(dir).size(), 20u);

  // A directory where the first file should be: nothing is written.
  std::vector<TFileReplacement> blocked = batch;
  for (auto& file : blocked) file.Bytes = "never";
  ASSERT_TRUE(CreateDirectories(dir.Path() + "d.idx"));
  blocked.insert(blocked.begin(), {dir.Path() + "d.idx", "never"});
  EXPECT_THROW(ReplaceFilesTogether(blocked), FileError);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadWholeFile(batch[i].Path), batch[i].Bytes);
  EXPECT_EQ(Entries(dir).size(), 21u);

  // Killed between two renames: the files renamed are new, the rest old.
  int renames = 0;
  SetReplaceInterruptHookForTests([&] {
    if (++renames == 6) throw std::runtime_error("killed between two renames");
  });
  blocked.erase(blocked.begin());
  EXPECT_THROW(ReplaceFilesTogether(blocked), std::runtime_error);
  SetReplaceInterruptHookForTests(nullptr);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadWholeFile(batch[i].Path), i < 5 ? "never" : batch[i].Bytes);
  EXPECT_EQ(Entries(dir).size(), 21u);
}

TEST(Files, ReplaceClearsReadOnly) {
  TempDir dir;
  std::string path = dir.Path() + "1030000000.dat";
  ReplaceFileAtomically(path, "old");
  ASSERT_TRUE(SetReadOnly(path, true));
  ASSERT_TRUE(IsReadOnly(path));
  ReplaceFileAtomically(path, "new");
  EXPECT_EQ(ReadWholeFile(path), "new");
  EXPECT_FALSE(IsReadOnly(path));
  ASSERT_TRUE(SetReadOnly(path, true));
  ASSERT_TRUE(SetReadOnly(path, false));
  EXPECT_FALSE(IsReadOnly(path));
}

TEST(Files, FailuresNameTheFile) {
  TempDir dir;
  std::string missing = dir.Path() + "no\\such\\file.txt";
  try {
    ReadWholeFile(missing);
    FAIL() << "reading a missing file succeeded";
  } catch (const FileError& e) {
    EXPECT_EQ(e.FileName, missing);
    EXPECT_NE(std::string(e.what()).find("open("), std::string::npos);
  }
  try {
    ReplaceFileAtomically(missing, "x");
    FAIL() << "writing into a missing directory succeeded";
  } catch (const FileError& e) {
    EXPECT_EQ(e.FileName, missing);
  }
  EXPECT_THROW(ReadWholeFile(dir.Path()), FileError);  // a directory is no file
  EXPECT_TRUE(Entries(dir).empty());
}

TEST(Files, ListsFilesBySuffixIgnoringCase) {
  TempDir dir;
  for (const char* name : {"favorite.idx", "OLD.IDX", "mixed.Idx", "favorite.idx.bak", "notes.txt", "idx"})
    test::WriteFile(dir / name, "x");
  ASSERT_TRUE(CreateDirectories(dir.Path() + "folder.idx"));
  EXPECT_EQ(Sorted(ListFilesBySuffix(dir.Path(), ".idx")),
            (std::vector<std::string>{"OLD.IDX", "favorite.idx", "mixed.Idx"}));
  EXPECT_EQ(Sorted(ListFilesBySuffix(dir.Path(), ".IDX")).size(), 3u);
  // The directory given without its trailing separator lists the same.
  std::string noSeparator = dir.Path().substr(0, dir.Path().size() - 1);
  EXPECT_EQ(ListFilesBySuffix(noSeparator, ".idx").size(), 3u);
  EXPECT_TRUE(ListFilesBySuffix(dir.Path() + "missing\\", ".idx").empty());
  EXPECT_TRUE(ListFilesBySuffix(dir.Path(), ".dat").empty());
}

TEST(Files, SuffixNeverStartsOnATrailByte) {
  TempDir dir;
  // "ア" is 83 41: its second byte is an "A" but no letter of the name.
  ReplaceFileAtomically(dir.Path() + "ア", "x");
  ReplaceFileAtomically(dir.Path() + "ka", "x");
  EXPECT_EQ(ListFilesBySuffix(dir.Path(), "a"), std::vector<std::string>{"ka"});
  EXPECT_EQ(ListFilesBySuffix(dir.Path(), "ア"), std::vector<std::string>{"ア"});
}

TEST(Files, JapaneseNamesWithTrailByte5CRoundTrip) {
  TempDir dir;
  // "表" is 95 5C and "ソ" 83 5C: their second byte is the separator's.
  std::string sub = dir.Path() + "表\\ソ\\";
  ASSERT_EQ(std::string("表"), "\x95\x5C");
  ASSERT_TRUE(CreateDirectories(sub));
  EXPECT_TRUE(DirectoryExists(dir.Path() + "表"));
  EXPECT_TRUE(DirectoryExists(sub));
  ReplaceFileAtomically(sub + "能.idx", "ソース表示");
  EXPECT_EQ(ReadWholeFile(sub + "能.idx"), "ソース表示");
  EXPECT_TRUE(fs::is_regular_file(fs::path(dir.Path()) / fs::path(u8"表") / fs::path(u8"ソ") / fs::path(u8"能.idx")));
  EXPECT_EQ(ListFilesBySuffix(sub, ".idx"), std::vector<std::string>{"能.idx"});
  EXPECT_EQ(ListFilesBySuffix(dir.Path() + "表", ".idx"), std::vector<std::string>{});
  EXPECT_TRUE(MoveFile(sub + "能.idx", dir.Path() + "表\\能.idx"));
  EXPECT_EQ(ListFilesBySuffix(dir.Path() + "表\\", ".IDX"), std::vector<std::string>{"能.idx"});
}

TEST(Files, SlashesAreSeparatorsToo) {
  TempDir dir;
  ASSERT_TRUE(CreateDirectories(dir.Path() + "a/b\\c"));
  ReplaceFileAtomically(dir.Path() + "a\\b/c/f.txt", "x");
  EXPECT_TRUE(FileExists(dir.Path() + "a/b/c/f.txt"));
  EXPECT_TRUE(FileExists(dir / "a\\b\\c\\f.txt"));
}

TEST(Files, PathsLongerThan260CharactersWork) {
  TempDir dir;
  std::string deep = dir.Path();
  while (deep.size() < 300) deep += "board_directory_with_a_long_name\\";
  ASSERT_TRUE(CreateDirectories(deep));
  std::string file = deep + "1234567890.idx";
  ReplaceFileAtomically(file, "deep");
  ReplaceFileAtomically(file, "deeper");
  EXPECT_EQ(ReadWholeFile(file), "deeper");
  EXPECT_EQ(ListFilesBySuffix(deep, ".idx"), std::vector<std::string>{"1234567890.idx"});
  EXPECT_TRUE(MoveFile(file, deep + "moved.idx"));
  EXPECT_TRUE(DeleteFile(deep + "moved.idx"));
  EXPECT_FALSE(FileExists(deep + "moved.idx"));
}

TEST(Files, DirectoriesAndExistence) {
  TempDir dir;
  std::string deep = dir.Path() + "log\\localhost\\vek\\";
  EXPECT_FALSE(DirectoryExists(deep));
  EXPECT_TRUE(CreateDirectories(deep));
  EXPECT_TRUE(CreateDirectories(deep));  // already there
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_FALSE(FileExists(deep));
  ReplaceFileAtomically(deep + "1000000000.idx", "x");
  EXPECT_TRUE(FileExists(deep + "1000000000.idx"));
  EXPECT_FALSE(DirectoryExists(deep + "1000000000.idx"));
  EXPECT_FALSE(CreateDirectories(deep + "1000000000.idx\\below"));  // a file is in the way
  EXPECT_FALSE(FileExists(deep + "1000000001.idx"));
}

TEST(Files, MoveRefusesAnExistingTargetAndDeleteRemoves) {
  TempDir dir;
  std::string a = dir.Path() + "a.dat", b = dir.Path() + "b.dat";
  ReplaceFileAtomically(a, "A");
  ReplaceFileAtomically(b, "B");
  EXPECT_FALSE(MoveFile(a, b));
  EXPECT_EQ(ReadWholeFile(b), "B");
  EXPECT_TRUE(FileExists(a));
  ASSERT_TRUE(CreateDirectories(dir.Path() + "backlog"));
  EXPECT_TRUE(MoveFile(a, dir.Path() + "backlog\\a.dat"));
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(ReadWholeFile(dir.Path() + "backlog\\a.dat"), "A");
  EXPECT_FALSE(MoveFile(a, dir.Path() + "c.dat"));  // the source is gone
  ASSERT_TRUE(SetReadOnly(b, true));
  EXPECT_FALSE(DeleteFile(b));  // as Windows refuses it
  EXPECT_TRUE(FileExists(b));
  ASSERT_TRUE(SetReadOnly(b, false));
  EXPECT_TRUE(DeleteFile(b));
  EXPECT_FALSE(FileExists(b));
  EXPECT_FALSE(DeleteFile(b));
}

TEST(Files, ExecutableDirectoryHoldsThisProgram) {
  std::string dir = ExecutableDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(dir.back() == '\\' || dir.back() == '/');
  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_TRUE(FileExists(dir + "test_platform") || FileExists(dir + "test_platform.exe"));
}

}  // namespace
}  // namespace vek::platform
