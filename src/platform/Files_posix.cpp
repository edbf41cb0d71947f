// Files and directories on POSIX: core paths converted to UTF-8, whole-file
// reads and atomic replacement by rename.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/PosixSystem.h"
#include "platform/Sjis.h"
#include "platform/FileError.h"
#include "platform/WriteFaults.h"

namespace vek::platform {

using posix::SystemPath;
using posix::TFd;
using posix::ThrowErrno;

namespace {

// A check reads and writes whole files of a few hundred KB per board, over
// and over. Freed memory is kept for the next board instead of going back to
// the system at every free: each return shrinks the heap or unmaps a block,
// and on a virtual machine each of those flushes the other cores' address
// caches. The peak stays what the run needs at once.
const bool KeepFreedMemory = [] {
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  return true;
}();

std::mutex hookMutex;
std::function<void()> replaceInterruptHook;

const char* const LockedReason = "the file is locked by another process";

// Windows refuses to open a file that another handle holds without sharing;
// POSIX only knows advisory locks, so this layer checks the lock that
// OpenNoShare takes. A program that ignores locks is not stopped.
bool IsLockedElsewhere(int fd) {
  if (::flock(fd, LOCK_SH | LOCK_NB) == 0) return false;
  return errno == EWOULDBLOCK;
}

void WriteAllOrThrow(int fd, std::string_view bytes, const std::string& path) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("write", path, errno);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

std::string TemporaryNameBeside(const std::string& systemPath) {
  static std::atomic<unsigned> counter{0};
  size_t slash = systemPath.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : systemPath.substr(0, slash + 1);
  return dir + ".vek-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

bool StatPath(const std::string& path, struct stat& st) { return ::stat(SystemPath(path).c_str(), &st) == 0; }

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  TFd fd(::open(SystemPath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) ThrowErrno("open", path, errno);
  if (IsLockedElsewhere(fd.Get())) throw FileError("open", path, LockedReason);
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) ThrowErrno("stat", path, errno);
  if (S_ISDIR(st.st_mode)) ThrowErrno("open", path, EISDIR);
  // One byte beyond the size stat gave lets the read after the last one
  // answer 0 without growing the buffer; a file that grew meanwhile still
  // reads whole.
  std::string bytes;
  bytes.resize((st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0) + 1);
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    ssize_t n = ::read(fd.Get(), bytes.data() + used, bytes.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("read", path, errno);
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  bytes.resize(used);
  return bytes;
}

namespace {

// A replacement on its way: its temporary written and, until flushed, open.
struct TPendingReplacement {
  const std::string* CorePath = nullptr;
  std::string Target;
  std::string Temp;  // empty once renamed or removed
  int Fd = -1;
};

// The new bytes in a temporary beside the target, with the old file's
// permissions made writable: a read-only target is replaced as if its
// attribute had been cleared. A directory or a file locked by another
// process is refused before anything is written.
void WriteTemporary(const std::string& path, std::string_view bytes, TPendingReplacement& pending) {
  pending.CorePath = &path;
  pending.Target = SystemPath(path);
  struct stat st {};
  const bool exists = ::stat(pending.Target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) ThrowErrno("create", path, EISDIR);
  if (exists) {
    TFd old(::open(pending.Target.c_str(), O_RDONLY | O_CLOEXEC));
    if (old.Valid() && IsLockedElsewhere(old.Get())) throw FileError("create", path, LockedReason);
  }
  const mode_t mode = exists ? ((st.st_mode & 07777) | S_IWUSR) : 0666;
  std::string temp = TemporaryNameBeside(pending.Target);
  pending.Fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (pending.Fd < 0) ThrowErrno("create", path, errno);
  pending.Temp = std::move(temp);
  if (exists) ::fchmod(pending.Fd, mode);
  if (TWriteFault fault = InjectedWriteFault(TWriteKind::Replace, path); fault != TWriteFault::None)
    ThrowErrno("write", path, fault == TWriteFault::IoError ? EIO : ENOSPC);
  WriteAllOrThrow(pending.Fd, bytes, path);
}

void RunInterruptHook() {
  std::function<void()> hook;
  {
    std::lock_guard lock(hookMutex);
    hook = replaceInterruptHook;
  }
  if (hook) hook();
}

void Rename(TPendingReplacement& pending) {
  RunInterruptHook();
  if (::rename(pending.Temp.c_str(), pending.Target.c_str()) != 0) ThrowErrno("rename", *pending.CorePath, errno);
  pending.Temp.clear();
}

// What a failed replacement leaves: nothing but the old file.
void Discard(TPendingReplacement& pending) {
  if (pending.Fd >= 0) ::close(pending.Fd);
  pending.Fd = -1;
  if (!pending.Temp.empty()) ::unlink(pending.Temp.c_str());
  pending.Temp.clear();
}

// A flush waits for the disk; several running at once are committed together
// by the file system, so a batch costs about one wait instead of one per file.
constexpr size_t FlushThreads = 8;

void FlushAndClose(std::vector<TPendingReplacement>& batch) {
  std::vector<int> errors(batch.size(), 0);
  std::atomic<size_t> next{0};
  const auto flush = [&] {
    for (size_t i; (i = next++) < batch.size();)
      if (::fsync(batch[i].Fd) != 0) errors[i] = errno;
  };
  std::vector<std::thread> helpers;
  try {
    while (helpers.size() + 1 < std::min(FlushThreads, batch.size())) helpers.emplace_back(flush);
  } catch (const std::system_error&) {
    // No more threads: the ones running and this one share the rest.
  }
  flush();
  for (std::thread& helper : helpers) helper.join();
  for (size_t i = 0; i < batch.size(); ++i) {
    const int fd = batch[i].Fd;
    batch[i].Fd = -1;
    if (errors[i] != 0) {
      ::close(fd);
      ThrowErrno("flush", *batch[i].CorePath, errors[i]);
    }
    if (::close(fd) != 0) ThrowErrno("close", *batch[i].CorePath, errno);
  }
}

}  // namespace

void ReplaceFileAtomically(const std::string& path, std::string_view bytes, TDurability durability) {
  TPendingReplacement pending;
  try {
    WriteTemporary(path, bytes, pending);
    const int fd = pending.Fd;
    pending.Fd = -1;
    if (durability == TDurability::Flushed && ::fsync(fd) != 0) {
      const int error = errno;
      ::close(fd);
      ThrowErrno("flush", path, error);
    }
    if (::close(fd) != 0) ThrowErrno("close", path, errno);
    Rename(pending);
  } catch (...) {
    Discard(pending);
    throw;
  }
}

void ReplaceFilesTogether(const std::vector<TFileReplacement>& files) {
  std::vector<TPendingReplacement> batch(files.size());
  try {
    for (size_t i = 0; i < files.size(); ++i) WriteTemporary(files[i].Path, files[i].Bytes, batch[i]);
    FlushAndClose(batch);
    for (TPendingReplacement& pending : batch) Rename(pending);
  } catch (...) {
    for (TPendingReplacement& pending : batch) Discard(pending);
    throw;
  }
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

std::vector<std::string> ListFilesBySuffix(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> names;
  std::string systemDir = SystemPath(dir);
  if (systemDir.empty()) systemDir = ".";
  DIR* d = ::opendir(systemDir.c_str());
  if (!d) return names;
  if (systemDir.back() != '/') systemDir += '/';
  while (dirent* e = ::readdir(d)) {
    bool isFile = e->d_type == DT_REG;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st {};
      isFile = ::stat((systemDir + e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }
    if (!isFile) continue;
    std::string name = posix::CoreName(e->d_name);
    if (EndsWithNoCase(name, suffix)) names.push_back(std::move(name));
  }
  ::closedir(d);
  return names;
}

bool CreateDirectories(const std::string& path) {
  std::string systemPath = SystemPath(path);
  if (systemPath.empty()) return false;
  if (InjectedWriteFault(TWriteKind::Mkdir, path) != TWriteFault::None) return DirectoryExists(path);
  for (size_t pos = systemPath.find('/', 1); pos != std::string::npos; pos = systemPath.find('/', pos + 1))
    ::mkdir(systemPath.substr(0, pos).c_str(), 0777);
  ::mkdir(systemPath.c_str(), 0777);
  return DirectoryExists(path);
}

bool MoveFile(const std::string& from, const std::string& to) {
  std::string source = SystemPath(from), target = SystemPath(to);
  if (InjectedWriteFault(TWriteKind::Move, to) != TWriteFault::None) return false;
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the no-replace flag: check, then rename.
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0) return false;
  return ::rename(source.c_str(), target.c_str()) == 0;
}

bool DeleteFile(const std::string& path) {
  // Windows refuses to delete a read-only file; so does this layer.
  struct stat st {};
  if (!StatPath(path, st) || S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)) return false;
  return ::unlink(SystemPath(path).c_str()) == 0;
}

bool IsReadOnly(const std::string& path) {
  struct stat st {};
  return StatPath(path, st) && !(st.st_mode & S_IWUSR);
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st {};
  if (!StatPath(path, st)) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
  return ::chmod(SystemPath(path).c_str(), mode) == 0;
}

namespace {
// The executable's path, cut after its last "/" when directoryOnly, in core form.
std::string ExecutableName(bool directoryOnly) {
  std::string buffer(PATH_MAX, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return std::string();
  buffer.resize(static_cast<size_t>(n));
  if (directoryOnly) buffer.erase(buffer.rfind('/') + 1);
  std::string name = posix::CoreName(buffer);
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
}
}  // namespace

std::string ExecutablePath() { return ExecutableName(false); }
std::string ExecutableDirectory() { return ExecutableName(true); }

void SetReplaceInterruptHookForTests(std::function<void()> hook) {
  std::lock_guard lock(hookMutex);
  replaceInterruptHook = std::move(hook);
}

namespace {
// A process that exists, though perhaps another user's (EPERM).
bool ProcessRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }
}  // namespace

int RemoveStaleTemporaryFiles(const std::string& dir) {
  std::string systemDir = SystemPath(dir);
  if (systemDir.empty()) systemDir = ".";
  DIR* d = ::opendir(systemDir.c_str());
  if (!d) return 0;
  if (systemDir.back() != '/') systemDir += '/';
  int removed = 0;
  // Only names of our own form are looked at further; the others (the many
  // index and log files of a board folder) cost a comparison each.
  while (dirent* e = ::readdir(d)) {
    const uint32_t owner = TemporaryFileOwner(e->d_name);
    if (owner == 0 || owner > static_cast<uint32_t>(INT_MAX) || ProcessRuns(static_cast<pid_t>(owner))) continue;
    const std::string path = systemDir + e->d_name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(d);
  return removed;
}

}  // namespace vek::platform
