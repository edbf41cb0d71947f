// The private-profile functions of Win32, called with UTF-16 names.
#include "platform/Win32System.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Sjis.h"
#include "platform/WriteFaults.h"

namespace vek::platform {
namespace {

constexpr size_t MaxValueLength = 2047;  // in bytes of code page 932, as the "A" function counts

std::string CutToMaxLength(std::string value) { return CutAtCharacterBoundary(std::move(value), MaxValueLength); }

}  // namespace

std::string IniReadString(const std::string& fileName, const std::string& section, const std::string& key,
                          const std::string& defaultValue) {
  wchar_t value[MaxValueLength + 1];
  std::wstring marker = L"\x1\x2";  // no value can be this: tells "missing" from "empty"
  DWORD n = GetPrivateProfileStringW(win32::Wide(section).c_str(), win32::Wide(key).c_str(), marker.c_str(), value,
                                     MaxValueLength + 1, win32::WidePath(fileName).c_str());
  std::wstring_view got(value, n);
  if (got == marker) return defaultValue;
  return CutToMaxLength(win32::Narrow(got));
}

// Three null arguments but the file name: the system drops what it keeps of
// that file (the call answers false by design).
void IniFileReplaced(const std::string& fileName) {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, win32::WidePath(fileName).c_str());
}

bool IniWriteString(const std::string& fileName, const std::string& section, const std::string& key,
                    const std::string& value, TDurability) {
  // Checked here as well, since a process with every right (Wine run as
  // root) would write a read-only file.
  if (IsReadOnly(fileName)) return false;
  if (InjectedWriteFault(TWriteKind::Ini, fileName) != TWriteFault::None) return false;
  return WritePrivateProfileStringW(win32::Wide(section).c_str(), win32::Wide(key).c_str(), win32::Wide(value).c_str(),
                                    win32::WidePath(fileName).c_str()) != 0;
}

}  // namespace vek::platform
