// Looks at a running vek.exe from another process, as the end-to-end tests
// need it under Wine (the test driver itself is a Linux program):
//   vek-probe wait-visible SECONDS     until its main window shows
//   vek-probe wait-title PREFIX SECONDS until the caption starts with PREFIX
//   vek-probe wait-idle SECONDS        until the caption is "VEK" alone
//   vek-probe wait-log TEXT SECONDS    until the log pane shows TEXT
//   vek-probe second-start EXE SECONDS starts EXE while one runs: how long the
//                                      second start lived, whether it showed a
//                                      window, and when a run began after it
//   vek-probe double-start EXE         starts EXE twice at the same moment: how
//                                      many main windows there were, when the
//                                      survivor began a run; then closes it
//   vek-probe ping COUNT               the longest of COUNT SendMessageTimeout
//                                      round trips, 100 ms apart
//   vek-probe close                    asks the window to close
//   vek-probe click CAPTION            clicks the window's button of that caption
//   vek-probe open-menu KEY            opens the menu bar's menu of that access key
//   vek-probe controls                 each button and list box: enabled or not
//   vek-probe layout                   the window's and its controls' sizes and
//                                      its DPI, for screenshots at a scaling
//   vek-probe dismiss SECONDS          waits for the window's message box, answers OK
//   vek-probe command ID               chooses the menu item of that command
//                                      identifier (menus are not shared with
//                                      other processes under Wine)
//   vek-probe end-session              the messages of a log-off: whether the
//                                      window lets the session end, then its end
// Prints key=value lines; exits 0 on success, 1 otherwise.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

HWND MainWindow() { return FindWindowW(L"TVekMainForm", nullptr); }

std::wstring Caption(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return text;
}

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart * 1000.0 / frequency.QuadPart;
}

bool CaptionStartsWith(const std::wstring& prefix) {
  HWND hwnd = MainWindow();
  return hwnd && Caption(hwnd).rfind(prefix, 0) == 0;
}

// Visible top-level windows that belong to a process.
int VisibleWindowsOf(DWORD processId) {
  struct TCount {
    DWORD Pid;
    int N;
  } count{processId, 0};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* c = reinterpret_cast<TCount*>(data);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == c->Pid && IsWindowVisible(hwnd)) ++c->N;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.N;
}

int WaitVisible(double seconds) {
  const double end = NowMs() + seconds * 1000;
  while (NowMs() < end) {
    HWND hwnd = MainWindow();
    if (hwnd && IsWindowVisible(hwnd)) return 0;
    Sleep(20);
  }
  return 1;
}

int WaitTitle(const std::wstring& prefix, double seconds) {
  const double end = NowMs() + seconds * 1000;
  while (NowMs() < end) {
    if (CaptionStartsWith(prefix)) return 0;
    Sleep(20);
  }
  return 1;
}

int WaitIdle(double seconds) {
  const double end = NowMs() + seconds * 1000;
  while (NowMs() < end) {
    HWND hwnd = MainWindow();
    if (hwnd && Caption(hwnd) == L"VEK") return 0;
    Sleep(20);
  }
  return 1;
}

int WaitLog(const std::wstring& text, double seconds) {
  const double end = NowMs() + seconds * 1000;
  while (NowMs() < end) {
    HWND memo = MainWindow() ? FindWindowExW(MainWindow(), nullptr, L"Edit", nullptr) : nullptr;
    if (memo) {
      std::wstring shown(static_cast<size_t>(GetWindowTextLengthW(memo)) + 1, L'\0');
      shown.resize(static_cast<size_t>(GetWindowTextW(memo, shown.data(), static_cast<int>(shown.size()))));
      if (shown.find(text) != std::wstring::npos) return 0;
    }
    Sleep(50);
  }
  return 1;
}

// Wine now and then refuses to create a process while others start
// (ERROR_INTERNAL_ERROR, nothing started): that start is tried again at once.
bool Start(const std::wstring& exe, PROCESS_INFORMATION& pi) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return true;
    if (GetLastError() != ERROR_INTERNAL_ERROR) return false;
  }
  return false;
}

int SecondStart(std::wstring exe, double seconds) {
  const bool idle = !CaptionStartsWith(L"VEK [");
  PROCESS_INFORMATION pi{};
  const double start = NowMs();
  if (!Start(exe, pi)) {
    std::printf("error=CreateProcess %lu\n", GetLastError());
    return 1;
  }
  int windows = 0;
  while (WaitForSingleObject(pi.hProcess, 5) == WAIT_TIMEOUT) {
    windows += VisibleWindowsOf(pi.dwProcessId);
    if (NowMs() - start > 20000) break;
  }
  const double exited = NowMs();
  DWORD code = 259;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // A run shows its step in the caption; when one was already under way,
  // nothing can be seen here (the driver counts the runs in the log).
  double runMs = -1;
  if (idle) {
    while (NowMs() - exited < seconds * 1000) {
      if (CaptionStartsWith(L"VEK [")) {
        runMs = NowMs() - exited;
        break;
      }
      Sleep(5);
    }
  }
  std::printf("exit_code=%lu\nexited_ms=%.0f\nwindows=%d\nrun_ms=%.0f\n", code, exited - start, windows, runMs);
  return 0;
}

// Main windows of any process.
int MainWindowCount() {
  int count = 0;
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (std::wstring(name) == L"TVekMainForm") ++*reinterpret_cast<int*>(data);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

int DoubleStart(const std::wstring& exe) {
  PROCESS_INFORMATION pi[2]{};
  if (!Start(exe, pi[0]) || !Start(exe, pi[1])) {
    std::printf("error=CreateProcess %lu\n", GetLastError());
    return 1;
  }
  const HANDLE processes[2] = {pi[0].hProcess, pi[1].hProcess};
  const double start = NowMs();
  const DWORD ended = WaitForMultipleObjects(2, processes, FALSE, 20000);
  const double exited = NowMs();
  // A run asked for by the second start shows its step in the caption.
  double runMs = -1;
  int windows = 0;
  while (NowMs() - exited < 5000) {
    windows = std::max(windows, MainWindowCount());
    if (CaptionStartsWith(L"VEK [")) {
      runMs = NowMs() - exited;
      break;
    }
    Sleep(5);
  }
  windows = std::max(windows, MainWindowCount());
  std::printf("ended=%lu\nexited_ms=%.0f\nwindows=%d\nrun_ms=%.0f\n", ended, exited - start, windows, runMs);
  WaitIdle(30);
  for (HWND hwnd; (hwnd = MainWindow()) != nullptr && NowMs() - exited < 60000;) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    Sleep(200);
  }
  const bool bothEnded = WaitForMultipleObjects(2, processes, TRUE, 30000) == WAIT_OBJECT_0;
  for (const PROCESS_INFORMATION& p : pi) {
    CloseHandle(p.hThread);
    CloseHandle(p.hProcess);
  }
  std::printf("both_ended=%d\n", bothEnded ? 1 : 0);
  return ended < WAIT_OBJECT_0 + 2 && bothEnded ? 0 : 1;
}

int Ping(int count) {
  HWND hwnd = MainWindow();
  if (!hwnd) return 1;
  double longest = 0;
  for (int i = 0; i < count; ++i) {
    DWORD_PTR result = 0;
    const double start = NowMs();
    if (!SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) {
      std::printf("error=timeout\n");
      return 1;
    }
    const double took = NowMs() - start;
    if (took > longest) longest = took;
    Sleep(100);
  }
  std::printf("max_ms=%.0f\ncaption=%ls\n", longest, Caption(hwnd).c_str());
  return 0;
}

int Click(const std::wstring& caption) {
  HWND hwnd = MainWindow();
  if (!hwnd) return 1;
  HWND button = FindWindowExW(hwnd, nullptr, L"BUTTON", caption.c_str());
  return button && PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
}

int OpenMenu(wchar_t key) {
  HWND hwnd = MainWindow();
  if (!hwnd) return 1;
  SetForegroundWindow(hwnd);
  return PostMessageW(hwnd, WM_SYSCOMMAND, SC_KEYMENU, key) ? 0 : 1;
}

int ChooseMenuItem(UINT id) {
  HWND hwnd = MainWindow();
  return hwnd && PostMessageW(hwnd, WM_COMMAND, id, 0) ? 0 : 1;
}

int EndSession() {
  HWND hwnd = MainWindow();
  DWORD_PTR allowed = 0;
  if (!hwnd || !SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &allowed))
    return 1;
  std::printf("allowed=%d\n", allowed ? 1 : 0);
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 30000, &ignored) ? 0 : 1;
}

// Numbered in the order the window lists them (the captions are Japanese).
BOOL CALLBACK PrintControl(HWND child, LPARAM count) {
  char className[64] = {};
  GetClassNameA(child, className, 64);
  const std::string kind = className;
  if (kind == "Button" || kind == "BUTTON" || kind == "ComboBox" || kind == "COMBOBOX") {
    int& n = *reinterpret_cast<int*>(count);
    std::printf("control_%d_%s=%d\n", n++, kind.c_str(), IsWindowEnabled(child) ? 1 : 0);
  }
  return TRUE;
}

BOOL CALLBACK PrintControlSize(HWND child, LPARAM count) {
  char className[64] = {};
  GetClassNameA(child, className, 64);
  RECT r{};
  GetWindowRect(child, &r);
  if (!IsWindowVisible(child)) return TRUE;
  std::printf("%s_%d=%ldx%ld\n", className, (*reinterpret_cast<int*>(count))++, r.right - r.left, r.bottom - r.top);
  return TRUE;
}

int Layout() {
  HWND hwnd = MainWindow();
  if (!hwnd) return 1;
  RECT window{}, client{};
  GetWindowRect(hwnd, &window);
  GetClientRect(hwnd, &client);
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  auto getDpi = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  std::printf("dpi=%u\nwindow=%ldx%ld\nclient=%ldx%ld\n", getDpi ? getDpi(hwnd) : 0, window.right - window.left,
              window.bottom - window.top, client.right, client.bottom);
  int count = 0;
  EnumChildWindows(hwnd, PrintControlSize, reinterpret_cast<LPARAM>(&count));
  return 0;
}

int Controls() {
  HWND hwnd = MainWindow();
  if (!hwnd) return 1;
  int count = 0;
  EnumChildWindows(hwnd, PrintControl, reinterpret_cast<LPARAM>(&count));
  return 0;
}

int Dismiss(double seconds) {
  const double end = NowMs() + seconds * 1000;
  while (NowMs() < end) {
    HWND main = MainWindow();
    HWND box = FindWindowW(L"#32770", L"VEK");
    if (main && box && GetWindow(box, GW_OWNER) == main && IsWindowVisible(box)) {
      std::printf("message_box=1\n");
      return PostMessageW(box, WM_COMMAND, IDOK, 0) ? 0 : 1;
    }
    Sleep(20);
  }
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"wait-visible" && argc == 3) return WaitVisible(_wtof(argv[2]));
  if (command == L"wait-title" && argc == 4) return WaitTitle(argv[2], _wtof(argv[3]));
  if (command == L"wait-idle" && argc == 3) return WaitIdle(_wtof(argv[2]));
  if (command == L"wait-log" && argc == 4) return WaitLog(argv[2], _wtof(argv[3]));
  if (command == L"second-start" && argc == 4) return SecondStart(argv[2], _wtof(argv[3]));
  if (command == L"double-start" && argc == 3) return DoubleStart(argv[2]);
  if (command == L"ping" && argc == 3) return Ping(_wtoi(argv[2]));
  if (command == L"click" && argc == 3) return Click(argv[2]);
  if (command == L"open-menu" && argc == 3) return OpenMenu(argv[2][0]);
  if (command == L"controls") return Controls();
  if (command == L"command" && argc == 3) return ChooseMenuItem(static_cast<UINT>(_wtoi(argv[2])));
  if (command == L"end-session") return EndSession();
  if (command == L"layout") return Layout();
  if (command == L"dismiss" && argc == 3) return Dismiss(_wtof(argv[2]));
  if (command == L"close") {
    HWND hwnd = MainWindow();
    return hwnd && PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: vek-probe wait-visible|wait-title|second-start|ping|close ...\n");
  return 1;
}
