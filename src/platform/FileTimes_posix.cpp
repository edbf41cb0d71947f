// Last-write times and the settings-file lock on POSIX.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileTimes.h"
#include "platform/PosixSystem.h"
#include "platform/WriteFaults.h"

namespace vek::platform {

// A handle is the descriptor plus one, so that descriptor 0 is not "none".
FileHandle OpenNoShare(const std::string& path) {
  if (InjectedWriteFault(TWriteKind::Touch, path) != TWriteFault::None) return 0;
  posix::TFd fd(::open(posix::SystemPath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (!fd.Valid()) return 0;
  // POSIX has no sharing modes. The exclusive advisory lock keeps out every
  // opener that asks for a lock -- this layer's reads, writes and a second
  // OpenNoShare -- but a program that opens the file without asking can
  // still read, write, rename or delete it.
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return 0;
  return static_cast<FileHandle>(fd.Release()) + 1;
}

void CloseHandle(FileHandle handle) {
  if (handle > 0) ::close(static_cast<int>(handle - 1));
}

bool SetHandleWriteTime(FileHandle handle, const SystemTime& utc) {
  if (handle <= 0) return false;
  if (InjectedWriteFault(TWriteKind::Stamp, std::string()) != TWriteFault::None) return false;
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the access time stays
  times[1] = posix::ToTimespec(utc);
  return ::futimens(static_cast<int>(handle - 1), times) == 0;
}

bool GetWriteTimeByPath(const std::string& path, SystemTime& utc) {
  std::string systemPath = posix::SystemPath(path);
  struct stat st {};
  if (::stat(systemPath.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    posix::TFd created(::open(systemPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!created.Valid() || ::fstat(created.Get(), &st) != 0) return false;
  }
  utc = posix::ToSystemTime(st.st_mtim);
  return true;
}

}  // namespace vek::platform
