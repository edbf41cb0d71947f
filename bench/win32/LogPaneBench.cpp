// The cost of the main window's log pane in a long check: the log lines of a
// check of many boards (the configuration block, one "Get" line per board
// with its elapsed figure appended, the closing steps) appended to the real
// window's pane with the message pumps a check makes, each board's download
// standing in as a pause, timed against the same pumps and pauses with no
// line appended. The pane must hold every line afterwards.
//
//   vek-logpane-bench.exe [BOARDS [MS-PER-BOARD]]   (default 2000 boards, 10 ms; needs a display)
// Prints "log pane: ..." with the figures; exit status 1 when a line is lost.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Env.h"
#include "platform/Win32System.h"
#include "shell/VekMainForm.h"
#include "shell/win32/VekWindow.h"

namespace {

double Milliseconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A log line added, and the text appended to it once its board is fetched
// (empty: none). The check pumps messages between the two.
struct TLogCall {
  std::string Line;
  std::string Appended;
};

std::vector<TLogCall> CheckLog(int boards) {
  std::vector<TLogCall> calls;
  calls.push_back({"***** Start!! *****  (2026/12/08 11:47:53)", ""});
  for (int i = 0; i < 24; ++i) calls.push_back({"  Setting" + std::to_string(i) + ": C:\\Dorvella\\log\\", ""});
  calls.push_back({"Generate Dat List: done(6.00s)", ""});
  calls.push_back({"Get subject.txt: start", ""});
  for (int b = 0; b < boards; ++b) {
    char url[96];
    std::snprintf(url, sizeof url, "  Get http://127.0.0.1:40123/b%04d/subject.txt ... ", b);
    calls.push_back({url, "done(0.01s)"});
  }
  for (const char* line : {"  Interval: 180", "Get subject.txt: done", "", "Set Res Count ... done(64.39s)", "",
                           "Write Dead Threads Data ... done(0.03s)", "", "***** Done!! *****"})
    calls.push_back({line, ""});
  return calls;
}

// Replays the calls: each line through the form as the check adds it (or
// not at all), two pumps between a line and its appended text, as a
// download makes at least.
double Replay(vek::TVekMainForm& form, vek::win32::TVekWindow& window, const std::vector<TLogCall>& calls,
              DWORD pause, bool append) {
  const double start = Milliseconds();
  for (const TLogCall& call : calls) {
    if (append) form.AddLogLine(call.Line);
    window.ProcessMessages();
    if (call.Appended.empty()) continue;
    Sleep(pause);
    window.ProcessMessages();
    if (append) form.AppendToLogLine(call.Appended);
  }
  window.ProcessMessages();
  return Milliseconds() - start;
}

std::string ScratchDirectory() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp) + L"vek-logpane-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(dir.c_str(), nullptr);
  return vek::platform::win32::Narrow(dir);
}

// The scratch directory and what the window left in it: its settings, its
// log and the empty subject cache directory.
void RemoveScratch(const std::string& dir) {
  const std::wstring wide = vek::platform::win32::Wide(dir);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((wide + L"*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring path = wide + found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(path.c_str());
      else if (found.cFileName[0] != L'.') RemoveDirectoryW(path.c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(wide.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int boards = argc > 1 ? _wtoi(argv[1]) : 2000;
  const DWORD pause = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 10;
  const std::vector<TLogCall> calls = CheckLog(boards);
  const std::string dir = ScratchDirectory();
  vek::win32::TVekWindow window;
  vek::TVekMainForm form(window, vek::platform::TEnv::Default());
  window.Create(form, {}, dir);
  // The window shown and settled, as before a check.
  for (int i = 0; i < 50; ++i) {
    window.ProcessMessages();
    Sleep(10);
  }
  const size_t before = form.LogMemo.Lines.size();
  const double pumps = Replay(form, window, calls, pause, false);
  const double withPane = Replay(form, window, calls, pause, true);
  const int length = GetWindowTextLengthW(window.ControlOf(form.LogMemo));
  size_t expected = 0;
  for (size_t i = 0; i < form.LogMemo.Lines.size(); ++i)
    expected += (i ? 2 : 0) + vek::platform::win32::Wide(form.LogMemo.Lines[i]).size();
  const bool whole = form.LogMemo.Lines.size() == before + calls.size() && static_cast<size_t>(length) == expected;
  std::printf("log pane: %zu lines of a %d-board check (%lu ms a board): %.1f ms with the pane, %.1f ms without, "
              "pane cost %.1f ms = %.1f%% of the check, pane holds %d of %zu characters\n",
              calls.size(), boards, static_cast<unsigned long>(pause), withPane, pumps, withPane - pumps,
              100.0 * (withPane - pumps) / pumps, length, expected);
  PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
  window.Run();
  RemoveScratch(dir);
  return whole ? 0 : 1;
}
