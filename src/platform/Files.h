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

}  // namespace vek::platform
