// Files and directories as the core needs them. Every path is the core's form:
// code page 932 bytes with "\" separators (a "/" is accepted too); the layer
// converts at the system boundary. Failures that end a command throw
// vek::FileError; queries answer false instead.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vek::platform {

// The whole file; others may read it meanwhile but not write. Throws FileError.
std::string ReadWholeFile(const std::string& path);

// How far a replaced file must survive. Flushed: the new bytes reach the disk
// before the rename, so even a crash of the whole system leaves the old file or
// the new one whole (the host browser's files, the settings, the log).
// Renamed: no flush; the file is never torn while the system runs, and a
// program crash at any instant leaves the old or the new file; only a system
// crash may leave the old contents (files the next check rebuilds anyway:
// the subject cache and its snapshots). A flush can cost milliseconds on a
// slow disk, per file.
enum class TDurability { Flushed, Renamed };

// Replaces (or creates) the file with exactly these bytes: written to a
// temporary file beside it, flushed as durability asks, then renamed over it,
// so that the file is always either the old or the new one. A read-only target
// is made writable first. Throws FileError; on failure the old file is untouched.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           TDurability durability = TDurability::Flushed);

// One file of a batch and its new bytes.
struct TFileReplacement {
  std::string Path;
  std::string Bytes;
};

// Replaces several files, each as ReplaceFileAtomically does with Flushed, so
// even a crash of the whole system leaves every file old or new whole. On
// POSIX every new file is written to its temporary first, all are flushed
// together and only then renamed one by one: about one wait for the disk
// instead of one per file. Throws FileError; the files not renamed by then
// keep their old bytes and no temporary stays behind.
void ReplaceFilesTogether(const std::vector<TFileReplacement>& files);

bool FileExists(const std::string& path);       // a file, not a directory
bool DirectoryExists(const std::string& path);

// Names (not paths) of the files directly in dir whose names end in suffix,
// compared without regard to ASCII case, in the order the file system lists
// them. A missing directory gives an empty list.
std::vector<std::string> ListFilesBySuffix(const std::string& dir, const std::string& suffix);

// Creates the directory and every missing parent; true when it exists afterwards.
bool CreateDirectories(const std::string& path);

// Renames or moves a file; fails (false) when the target exists.
bool MoveFile(const std::string& from, const std::string& to);
bool DeleteFile(const std::string& path);

bool IsReadOnly(const std::string& path);
bool SetReadOnly(const std::string& path, bool readOnly);

// The running executable's full path, and its directory with a trailing
// separator.
std::string ExecutablePath();
std::string ExecutableDirectory();

// Tests only: called by ReplaceFileAtomically after the new bytes are flushed
// and just before the rename; an exception from it stands for a write that
// is interrupted there. An empty function removes the hook.
void SetReplaceInterruptHookForTests(std::function<void()> hook);

// The id of the process that made one of ReplaceFileAtomically's temporary
// files, from its name ".vek-{process id}-{n}.tmp" (the same on every
// platform); 0 for any other name.
inline uint32_t TemporaryFileOwner(std::string_view name) {
  constexpr std::string_view prefix = ".vek-", suffix = ".tmp";
  if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix ||
      name.substr(name.size() - suffix.size()) != suffix)
    return 0;
  std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == middle.size() || dash > 10) return 0;
  uint64_t pid = 0;
  for (size_t i = 0; i < middle.size(); ++i) {
    if (i == dash) continue;
    if (middle[i] < '0' || middle[i] > '9') return 0;
    if (i < dash) pid = pid * 10 + static_cast<uint64_t>(middle[i] - '0');
  }
  return pid > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(pid);
}

// Removes the temporary files that ReplaceFileAtomically left directly in dir
// when the process writing them was killed or crashed before its rename:
// nothing else ever removes them. A file whose process still runs (this one
// included) may be a write under way and stays, and so does every other
// file. A process id the system has since given to another running program
// also keeps its file until a later sweep. Answers how many were removed; a
// missing directory or a file that cannot be removed is passed over.
int RemoveStaleTemporaryFiles(const std::string& dir);

}  // namespace vek::platform
