// The log backup and the messages that stop it.
#include "shell/LogBackup.h"

#include <vector>

#include "platform/Files.h"
#include "reports/HostLog.h"
#include "platform/FileError.h"

namespace vek {

namespace {

[[noreturn]] void StopCannotOpen(const FileError& e) {
  throw TBackupStop("ファイル \"" + e.FileName + "\" は開けません。" + e.Reason);
}

std::vector<std::string> ReadThreadListOrStop(const std::string& fileName) {
  try {
    return ReadThreadListFile(fileName);
  } catch (const FileError& e) {
    StopCannotOpen(e);
  }
}

std::string ReadIndexOrStop(const std::string& fileName) {
  try {
    return platform::ReadWholeFile(fileName);
  } catch (const FileError& e) {
    StopCannotOpen(e);
  }
}

// Item 1 of the index (its flags field whenever the first line has one) as a
// number; anything else stops the backup.
int FlagsOrStop(const std::string& indexText) {
  std::string item;
  if (!IndexItemOf(indexText, FlagsField, item))
    throw TBackupStop("リストのインデックスが範囲を超えています (" + std::to_string(FlagsField) + ")");
  int flags = 0;
  if (!TryStrToInt(item, flags)) throw TBackupStop("'" + item + "' は整数ではありません");
  return flags;
}

// The index and the log move together: when the log cannot follow (its
// target exists, or the disk has no room for its entry), the index goes back,
// so that the host browser never finds one without the other.
void MoveThread(const std::string& logPath, const std::string& backupPath, const std::string& threadPath) {
  const std::string from = logPath + threadPath;
  const std::string to = backupPath + threadPath;
  platform::CreateDirectories(to.substr(0, to.size() - ExtractFileName(to).size()));
  if (!platform::MoveFile(from, to)) return;
  const std::string fromDat = ChangeFileExt(from, ".dat");
  if (platform::FileExists(fromDat) && !platform::MoveFile(fromDat, ChangeFileExt(to, ".dat")))
    platform::MoveFile(to, from);
}

}  // namespace

void BackupFallenThreads(const std::string& dorPath, const std::function<void(const std::string&)>& refused) {
  const std::string logPath = dorPath + "log\\";
  const std::string backupPath = dorPath + "backlog\\";
  for (const std::string& threadPath : ReadThreadListOrStop(dorPath + "favorite.idx")) {
    if (threadPath.empty()) continue;
    // The same path is joined to both directories, so one test covers both.
    if (!IsSafeRelativePath(threadPath)) {
      refused(threadPath);
      continue;
    }
    const std::string indexName = logPath + threadPath;
    if (!platform::FileExists(indexName)) continue;
    if ((FlagsOrStop(ReadIndexOrStop(indexName)) & FallenFlag) == 0) continue;
    MoveThread(logPath, backupPath, threadPath);
  }
}

}  // namespace vek
