// Files and directories on Win32 through the "W" functions, with atomic
// replacement by MoveFileExW.
#include <atomic>
#include <mutex>

#include "platform/Win32System.h"
#include "platform/Files.h"
#include "platform/Sjis.h"
#include "platform/FileError.h"
#include "platform/WriteFaults.h"

namespace vek::platform {

using win32::THandle;
using win32::ThrowLastError;
using win32::WidePath;

namespace {

std::mutex hookMutex;
std::function<void()> replaceInterruptHook;

DWORD Attributes(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

std::wstring TemporaryNameBeside(const std::wstring& target) {
  static std::atomic<unsigned> counter{0};
  size_t slash = target.rfind(L'\\');
  std::wstring dir = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
  return dir + L".vek-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L".tmp";
}

void WriteAllOrThrow(HANDLE h, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), chunk, &written, nullptr)) ThrowLastError("write", path, GetLastError());
    bytes.remove_prefix(written);
  }
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  THandle h(CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!h.Valid()) ThrowLastError("open", path, GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h.Get(), &size)) ThrowLastError("read", path, GetLastError());
  // One byte beyond the size lets the read after the last one answer 0
  // without growing the buffer; a file that grew meanwhile still reads whole.
  std::string bytes(static_cast<size_t>(size.QuadPart) + 1, '\0');
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    DWORD chunk = bytes.size() - used > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size() - used);
    DWORD got = 0;
    if (!ReadFile(h.Get(), bytes.data() + used, chunk, &got, nullptr)) ThrowLastError("read", path, GetLastError());
    if (got == 0) break;
    used += got;
  }
  bytes.resize(used);
  return bytes;
}

void ReplaceFileAtomically(const std::string& path, std::string_view bytes, TDurability durability) {
  std::wstring target = WidePath(path);
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    ThrowLastError("create", path, ERROR_ACCESS_DENIED);
  std::wstring temp = TemporaryNameBeside(target);
  THandle h(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid()) ThrowLastError("create", path, GetLastError());
  bool clearedReadOnly = false;
  try {
    if (TWriteFault fault = InjectedWriteFault(TWriteKind::Replace, path); fault != TWriteFault::None)
      ThrowLastError("write", path, fault == TWriteFault::IoError ? ERROR_WRITE_FAULT : ERROR_DISK_FULL);
    WriteAllOrThrow(h.Get(), bytes, path);
    const bool flushed = durability == TDurability::Flushed;
    if (flushed && !FlushFileBuffers(h.Get())) ThrowLastError("flush", path, GetLastError());
    if (!::CloseHandle(h.Release())) ThrowLastError("close", path, GetLastError());
    // MoveFileExW refuses to replace a read-only file.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      if (!SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        ThrowLastError("create", path, GetLastError());
      clearedReadOnly = true;
    }
    std::function<void()> hook;
    {
      std::lock_guard lock(hookMutex);
      hook = replaceInterruptHook;
    }
    if (hook) hook();
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | (flushed ? MOVEFILE_WRITE_THROUGH : 0)))
      ThrowLastError("rename", path, GetLastError());
  } catch (...) {
    h.Reset();
    DeleteFileW(temp.c_str());
    if (clearedReadOnly) SetFileAttributesW(target.c_str(), attributes);
    throw;
  }
}

// One at a time: each replacement is flushed and written through on its own.
void ReplaceFilesTogether(const std::vector<TFileReplacement>& files) {
  for (const TFileReplacement& file : files) ReplaceFileAtomically(file.Path, file.Bytes, TDurability::Flushed);
}

bool FileExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Every entry is listed and filtered here rather than with a "*.idx" pattern:
// a pattern also matches the short 8.3 names, so "a.idx1" would pass.
std::vector<std::string> ListFilesBySuffix(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> names;
  std::wstring pattern = WidePath(dir);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L':') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = win32::Narrow(data.cFileName);
    if (EndsWithNoCase(name, suffix)) names.push_back(std::move(name));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

bool CreateDirectories(const std::string& path) {
  std::wstring wide = WidePath(path);
  if (wide.empty()) return false;
  if (InjectedWriteFault(TWriteKind::Mkdir, path) != TWriteFault::None) return DirectoryExists(path);
  for (size_t pos = wide.find(L'\\', 1); pos != std::wstring::npos; pos = wide.find(L'\\', pos + 1))
    CreateDirectoryW(wide.substr(0, pos).c_str(), nullptr);
  CreateDirectoryW(wide.c_str(), nullptr);
  return DirectoryExists(path);
}

bool MoveFile(const std::string& from, const std::string& to) {
  if (InjectedWriteFault(TWriteKind::Move, to) != TWriteFault::None) return false;
  return MoveFileW(WidePath(from).c_str(), WidePath(to).c_str()) != 0;
}

bool DeleteFile(const std::string& path) { return DeleteFileW(WidePath(path).c_str()) != 0; }

bool IsReadOnly(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  DWORD a = Attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  a = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~FILE_ATTRIBUTE_READONLY);
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(WidePath(path).c_str(), a) != 0;
}

namespace {
std::wstring ExecutableWidePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::wstring();
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}
}  // namespace

std::string ExecutablePath() { return win32::Narrow(ExecutableWidePath()); }

std::string ExecutableDirectory() {
  std::wstring path = ExecutableWidePath();
  path.erase(path.rfind(L'\\') + 1);
  return win32::Narrow(path);
}

void SetReplaceInterruptHookForTests(std::function<void()> hook) {
  std::lock_guard lock(hookMutex);
  replaceInterruptHook = std::move(hook);
}

namespace {
bool ProcessRuns(DWORD pid) {
  if (pid == GetCurrentProcessId()) return true;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  // Another user's process answers "access denied": it exists.
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return runs;
}

// Our temporary names are ASCII; any other name is none of ours.
std::string AsciiName(const wchar_t* name) {
  std::string narrow;
  for (; *name; ++name) {
    if (*name > 0x7F) return std::string();
    narrow += static_cast<char>(*name);
  }
  return narrow;
}
}  // namespace

int RemoveStaleTemporaryFiles(const std::string& dir) {
  std::wstring folder = WidePath(dir);
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L':') folder += L'\\';
  WIN32_FIND_DATAW data;
  // The pattern lets the system pass over the folder's other files; the full
  // name is checked below (a pattern also matches short 8.3 names).
  HANDLE find = FindFirstFileW((folder + L".vek-*.tmp").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    const uint32_t owner = TemporaryFileOwner(AsciiName(data.cFileName));
    if (owner == 0 || ProcessRuns(owner)) continue;
    if (DeleteFileW((folder + data.cFileName).c_str())) ++removed;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return removed;
}

}  // namespace vek::platform
