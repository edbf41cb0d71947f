// Last-write times and the settings-file lock on Win32.
#include "platform/Win32System.h"
#include "platform/FileTimes.h"
#include "platform/WriteFaults.h"

namespace vek::platform {

FileHandle OpenNoShare(const std::string& path) {
  if (InjectedWriteFault(TWriteKind::Touch, path) != TWriteFault::None) return 0;
  HANDLE h = CreateFileW(win32::WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  return h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<FileHandle>(h);
}

void CloseHandle(FileHandle handle) {
  if (handle != 0) ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool SetHandleWriteTime(FileHandle handle, const SystemTime& utc) {
  if (handle == 0) return false;
  if (InjectedWriteFault(TWriteKind::Stamp, std::string()) != TWriteFault::None) return false;
  SYSTEMTIME st = win32::ToSystemTime(utc);
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return false;
  return SetFileTime(reinterpret_cast<HANDLE>(handle), nullptr, nullptr, &ft) != 0;
}

bool GetWriteTimeByPath(const std::string& path, SystemTime& utc) {
  // No access rights: this open works while another handle holds the file
  // without sharing.
  win32::THandle h(CreateFileW(win32::WidePath(path).c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.Valid()) return false;
  FILETIME ft;
  SYSTEMTIME st;
  if (!GetFileTime(h.Get(), nullptr, nullptr, &ft) || !FileTimeToSystemTime(&ft, &st)) return false;
  utc = win32::FromSystemTime(st);
  return true;
}

}  // namespace vek::platform
