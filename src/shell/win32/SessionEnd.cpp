// The end of the session, and the log pane losing its oldest lines.
#include "shell/win32/SessionEnd.h"

#include "shell/win32/VekWindow.h"

namespace vek::win32 {

void AllowMessageFromShell(HWND window, UINT message) {
  // Loaded by name: older import libraries and systems lack it.
  using TFilter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  constexpr DWORD Allow = 1;  // MSGFLT_ALLOW
  HMODULE user = GetModuleHandleW(L"user32.dll");
  auto filter = user ? reinterpret_cast<TFilter>(
                           reinterpret_cast<void*>(GetProcAddress(user, "ChangeWindowMessageFilterEx")))
                     : nullptr;
  if (filter) filter(window, message, Allow, nullptr);
}

// Windows ends the process after this message without a WM_DESTROY: the
// settings, the log and the tray icon are dealt with now, once. A check under
// way (its stack is below this call) is abandoned as a kill would abandon it;
// every file it writes is replaced whole, so each stays old or new.
void TVekWindow::EndSession() {
  if (Destroyed_ || SessionEnded_) return;
  SessionEnded_ = true;
  StopTimer();
  const bool underWay = Busy();
  ReadPlacement();
  Form_->FormDestroy();
  if (underWay) TerminateProcess(GetCurrentProcess(), 0);
}

bool TVekWindow::OnSystemMessage(UINT message, WPARAM wParam, LRESULT& result) {
  switch (message) {
    case WM_QUERYENDSESSION:
      result = TRUE;  // a check under way does not hold the session up
      return true;
    case WM_ENDSESSION:
      if (wParam) EndSession();
      result = 0;
      return true;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) Form_->ResumedFromSleep();
      result = TRUE;
      return true;
  }
  return false;
}

void TVekWindow::LogLinesRemoved(size_t first, size_t count) {
  if (!Memo_ || count == 0) return;
  FlushLogText();
  const LRESULT from = SendMessageW(Memo_, EM_LINEINDEX, first, 0);
  LRESULT to = SendMessageW(Memo_, EM_LINEINDEX, first + count, 0);
  if (from < 0) return;
  if (to < 0) to = GetWindowTextLengthW(Memo_);
  SendMessageW(Memo_, EM_SETSEL, static_cast<WPARAM>(from), to);
  SendMessageW(Memo_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
  // The caret back at the end keeps the last line in view.
  const int end = GetWindowTextLengthW(Memo_);
  SendMessageW(Memo_, EM_SETSEL, static_cast<WPARAM>(end), end);
  SendMessageW(Memo_, EM_SCROLLCARET, 0, 0);
  LogLines_ = LogLines_ > count ? LogLines_ - count : 0;
}

}  // namespace vek::win32
