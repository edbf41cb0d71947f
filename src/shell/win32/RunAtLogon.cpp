// The user's Run key.
#include "shell/win32/RunAtLogon.h"

#include <windows.h>

#include "platform/Files.h"
#include "platform/Win32System.h"
#include "shell/win32/VekWindow.h"

namespace vek::win32 {

namespace {
constexpr wchar_t RunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t RunValue[] = L"VEK";
constexpr wchar_t TraySwitch[] = L" /tray";

std::wstring RegisteredCommand() {
  wchar_t data[2048] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, RunKey, RunValue, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return L"";
  return data;
}
}  // namespace

std::wstring RunAtLogonCommand() {
  return L"\"" + platform::win32::WidePath(platform::ExecutablePath()) + L"\"" + TraySwitch;
}

bool RunsAtLogon() {
  // Paths compare without regard to case, as the file system does.
  return CompareStringOrdinal(RegisteredCommand().c_str(), -1, RunAtLogonCommand().c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool SetRunAtLogon(bool on) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  LSTATUS status;
  if (on) {
    const std::wstring command = RunAtLogonCommand();
    status = RegSetValueExW(key, RunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  } else {
    status = RegDeleteValueW(key, RunValue);
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool TVekWindow::StartsWithWindows() const { return RunsAtLogon(); }
bool TVekWindow::SetStartWithWindows(bool on) { return SetRunAtLogon(on); }

}  // namespace vek::win32
