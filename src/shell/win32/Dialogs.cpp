// Dialogs: UTF-16 at the system's side, code page 932 at ours.
#include "shell/win32/Dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "platform/Win32System.h"
#include "shell/win32/Dpi.h"

namespace vek::win32 {

using platform::win32::Narrow;
using platform::win32::Wide;

bool BrowseForFolderDialog(HWND owner, const std::string& caption, std::string& folder) {
  // The new dialog style needs COM on this thread.
  const HRESULT com = OleInitialize(nullptr);
  const std::wstring title = Wide(caption);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  bool chosen = false;
  if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info)) {
    wchar_t path[MAX_PATH * 2] = {};
    if (SHGetPathFromIDListW(list, path)) {
      std::wstring wide = path;
      while (!wide.empty() && wide.back() == L'\\') wide.pop_back();
      folder = Narrow(wide);
      chosen = true;
    }
    CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) OleUninitialize();
  return chosen;
}

bool YesNoDialog(HWND owner, const std::string& caption, const std::string& text) {
  return MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void MessageDialog(HWND owner, const std::string& text) {
  MessageBoxW(owner, Wide(text).c_str(), L"VEK", MB_OK | MB_ICONERROR);
}

bool OpenFileNameDialog(HWND owner, const std::string& title, const std::string& filter, const std::string& defaultExt,
                        std::string& fileName) {
  // "a|b|c|d" becomes "a\0b\0c\0d\0\0".
  std::wstring filterText = Wide(filter);
  for (wchar_t& c : filterText)
    if (c == L'|') c = L'\0';
  filterText.append(2, L'\0');
  const std::wstring wideTitle = Wide(title);
  const std::wstring ext = Wide(!defaultExt.empty() && defaultExt[0] == '.' ? defaultExt.substr(1) : defaultExt);
  std::vector<wchar_t> buffer(32768, L'\0');
  const std::wstring initial = Wide(fileName);
  initial.copy(buffer.data(), std::min(initial.size(), buffer.size() - 1));

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filterText.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = wideTitle.c_str();
  ofn.lpstrDefExt = ext.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&ofn)) return false;
  fileName = Narrow(buffer.data());
  return true;
}

// --- the input box: prompt, edit field, OK and Cancel ------------------------

namespace {

constexpr wchar_t InputClassName[] = L"TVekInputBox";
constexpr int EditId = 100;

struct TInputState {
  HWND Edit = nullptr;
  bool Done = false;
  bool Confirmed = false;
  std::wstring Text;
};

LRESULT CALLBACK InputWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<TInputState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (state && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        state->Confirmed = LOWORD(wParam) == IDOK;
        if (state->Confirmed) {
          std::wstring text(static_cast<size_t>(GetWindowTextLengthW(state->Edit)) + 1, L'\0');
          text.resize(static_cast<size_t>(GetWindowTextW(state->Edit, text.data(), static_cast<int>(text.size()))));
          state->Text = text;
        }
        state->Done = true;
        return 0;
      }
      break;
    case WM_CLOSE:
      if (state) state->Done = true;
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND Child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h, int id,
           HFONT font) {
  HWND child = CreateWindowExW(cls == std::wstring(L"EDIT") ? WS_EX_CLIENTEDGE : 0, cls, text.c_str(),
                               WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

void RegisterInputClass() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = InputWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = InputClassName;
  RegisterClassW(&wc);  // already registered by an earlier box: fine
}

// The box centred on its owner: the prompt, the edit field holding text, OK
// and Cancel, at the owner's scaling.
HWND CreateInputBox(HWND owner, HFONT font, UINT dpi, const std::string& caption, const std::string& prompt,
                    const std::string& text, TInputState& state) {
  auto px = [dpi](int designPixels) { return Scaled(designPixels, dpi); };
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  const SIZE size = WindowSizeForClient(px(300), px(96), style, WS_EX_DLGMODALFRAME, false, dpi);
  RECT ownerRect{};
  GetWindowRect(owner, &ownerRect);
  const int w = size.cx, h = size.cy;
  const int x = (ownerRect.left + ownerRect.right - w) / 2, y = (ownerRect.top + ownerRect.bottom - h) / 2;
  HWND box = CreateWindowExW(WS_EX_DLGMODALFRAME, InputClassName, Wide(caption).c_str(), style, x, y, w, h, owner,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  Child(box, L"STATIC", Wide(prompt), 0, px(8), px(8), px(284), px(16), -1, font);
  state.Edit =
      Child(box, L"EDIT", Wide(text), WS_TABSTOP | ES_AUTOHSCROLL, px(8), px(28), px(284), px(22), EditId, font);
  Child(box, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, px(136), px(62), px(75), px(25), IDOK, font);
  Child(box, L"BUTTON", L"キャンセル", WS_TABSTOP, px(217), px(62), px(75), px(25), IDCANCEL, font);
  SendMessageW(state.Edit, EM_SETSEL, 0, -1);
  return box;
}

}  // namespace

bool InputQueryDialog(HWND owner, HFONT font, UINT dpi, const std::string& caption, const std::string& prompt,
                      std::string& text) {
  RegisterInputClass();
  TInputState state;
  HWND box = CreateInputBox(owner, font, dpi, caption, prompt, text, state);
  // Modal: the owner takes no input until the box is closed.
  EnableWindow(owner, FALSE);
  ShowWindow(box, SW_SHOW);
  SetFocus(state.Edit);
  MSG msg;
  while (!state.Done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && (msg.hwnd == box || IsChild(box, msg.hwnd))) {
      PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
      continue;
    }
    if (IsDialogMessageW(box, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (!state.Done) PostQuitMessage(static_cast<int>(msg.wParam));  // WM_QUIT arrived meanwhile
  EnableWindow(owner, TRUE);
  SetWindowLongPtrW(box, GWLP_USERDATA, 0);
  DestroyWindow(box);
  SetForegroundWindow(owner);
  if (state.Confirmed) text = Narrow(state.Text);
  return state.Confirmed;
}

}  // namespace vek::win32
