// A stand-in for the host browser in the end-to-end scenarios under Wine: a
// hidden top-level window of the host browser's window class that writes
// what happens to it into a record file beside its executable ({exe}.log,
// UTF-8, one line per event):
//   start cwd=<working directory> show=<show command or -1> files=<names in it, "|" between>
//   ready            the window exists (FindWindow can find it from now on)
//   close            WM_CLOSE arrived; the window then goes
//   exit
// It also ends when a file {exe}.stop appears and after 60 s at the latest,
// so that none outlives its scenario.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring recordName;
std::wstring stopName;
DWORD startTick = 0;
constexpr UINT_PTR PollTimer = 1;
constexpr DWORD LifetimeMs = 60000;

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// Opened and closed per line, so the driver may read the record at any moment.
void Record(const std::wstring& line) {
  FILE* f = _wfopen(recordName.c_str(), L"ab");
  if (f == nullptr) return;
  const std::string bytes = Utf8(line) + "\n";
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::wstring WorkingDirectory() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD n = GetCurrentDirectoryW(MAX_PATH * 2, buffer);
  return std::wstring(buffer, n);
}

std::wstring FilesInWorkingDirectory() {
  std::wstring names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(L"*", &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!names.empty()) names += L'|';
    names += data.cFileName;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

int ShowCommand() {
  STARTUPINFOW info{};
  info.cb = sizeof info;
  GetStartupInfoW(&info);
  return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : -1;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      Record(L"close");
      DestroyWindow(window);
      return 0;
    case WM_TIMER:
      if (GetFileAttributesW(stopName.c_str()) != INVALID_FILE_ATTRIBUTES || GetTickCount() - startTick > LifetimeMs)
        DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  startTick = GetTickCount();
  wchar_t exe[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH * 2);
  recordName = std::wstring(exe, n) + L".log";
  stopName = std::wstring(exe, n) + L".stop";
  Record(L"start cwd=" + WorkingDirectory() + L" show=" + std::to_wstring(ShowCommand()) +
         L" files=" + FilesInWorkingDirectory());

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"TDorvellaMainForm";
  if (!RegisterClassW(&windowClass)) {
    Record(L"error RegisterClass " + std::to_wstring(GetLastError()));
    return 1;
  }
  // Never shown: FindWindow finds hidden top-level windows too.
  HWND window = CreateWindowExW(0, L"TDorvellaMainForm", L"Dorvella", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    Record(L"error CreateWindow " + std::to_wstring(GetLastError()));
    return 1;
  }
  SetTimer(window, PollTimer, 100, nullptr);
  Record(L"ready");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  Record(L"exit");
  return 0;
}
