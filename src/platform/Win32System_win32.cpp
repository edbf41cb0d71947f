// Text and path conversion, error reporting and time records for Win32.
#include "platform/Win32System.h"

#include "platform/FileError.h"

namespace vek::platform::win32 {

constexpr UINT CodePage932 = 932;

std::wstring Wide(std::string_view cp932) {
  if (cp932.empty()) return std::wstring();
  int n = MultiByteToWideChar(CodePage932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CodePage932, 0, cp932.data(), static_cast<int>(cp932.size()), wide.data(), n);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CodePage932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                              0, "?", nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CodePage932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                      "?", nullptr);
  return text;
}

std::wstring WidePath(std::string_view corePath) {
  // Converted first, so that a trail byte 0x5C is part of its character.
  std::wstring path = Wide(corePath);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  // Beyond MAX_PATH only the "\\?\" form reaches the file system; it takes
  // absolute paths only, which deep log trees are.
  constexpr size_t LongPath = MAX_PATH - 12;
  if (path.size() >= LongPath && path.size() > 2 && path[1] == L':' && path[2] == L'\\')
    return L"\\\\?\\" + path;
  if (path.size() >= LongPath && path.rfind(L"\\\\", 0) == 0 && path.rfind(L"\\\\?\\", 0) != 0)
    return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

void ThrowLastError(const std::string& operation, const std::string& corePath, DWORD error) {
  wchar_t* message = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text = n && message ? std::wstring(message, n) : L"error " + std::to_wstring(error);
  if (message) LocalFree(message);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  throw FileError(operation, corePath, Narrow(text));
}

// Calls link(ours, theirs) for each of the eight fields the two time
// structures share, so both directions name them once.
template <typename Ours, typename Theirs, typename Link>
void LinkTimeFields(Ours& s, Theirs& t, Link link) {
  link(s.Year, t.wYear);
  link(s.Month, t.wMonth);
  link(s.DayOfWeek, t.wDayOfWeek);
  link(s.Day, t.wDay);
  link(s.Hour, t.wHour);
  link(s.Minute, t.wMinute);
  link(s.Second, t.wSecond);
  link(s.Milliseconds, t.wMilliseconds);
}

SystemTime FromSystemTime(const SYSTEMTIME& t) {
  SystemTime s;
  LinkTimeFields(s, t, [](auto& ours, const auto& theirs) { ours = theirs; });
  return s;
}

SYSTEMTIME ToSystemTime(const SystemTime& s) {
  SYSTEMTIME t{};
  LinkTimeFields(s, t, [](const auto& ours, auto& theirs) { theirs = ours; });
  return t;
}

}  // namespace vek::platform::win32
