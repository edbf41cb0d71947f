// Code page 932 <-> UTF-8 and terminal output on Win32: a console gets
// UTF-16, a pipe or file gets the code page 932 bytes themselves.
#include "platform/Win32System.h"
#include "platform/Console.h"

namespace vek::platform {
namespace {

std::string ToUtf8(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
  return text;
}

std::wstring FromUtf8(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

void WriteTo(DWORD which, std::string_view cp932) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(h, &mode)) {
    std::wstring wide = win32::Wide(cp932);
    WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    while (!cp932.empty() && WriteFile(h, cp932.data(), static_cast<DWORD>(cp932.size()), &written, nullptr) &&
           written > 0)
      cp932.remove_prefix(written);
  }
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) { return ToUtf8(win32::Wide(cp932)); }
std::string Utf8ToCp932(std::string_view utf8) { return win32::Narrow(FromUtf8(utf8)); }

void WriteStdout(std::string_view cp932) { WriteTo(STD_OUTPUT_HANDLE, cp932); }
void WriteStderr(std::string_view cp932) { WriteTo(STD_ERROR_HANDLE, cp932); }

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace vek::platform
