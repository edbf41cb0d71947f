// The real main window, created in this process over a scratch program
// directory, with its dialogs answered by the test and its message boxes
// recorded instead of shown.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Env.h"
#include "platform/Win32System.h"
#include "shell/VekMainForm.h"
#include "shell/win32/VekWindow.h"

namespace vek::test {

class TScriptedWindow : public win32::TVekWindow {
 public:
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void PlaySound(const std::string& name, bool wait) override { Sounds.push_back(name + (wait ? " wait" : "")); }
  void OpenDocument(const std::string& path) override { Documents.push_back(path); }
  void ShowNotice(const std::string& title, const std::string& text) override {
    win32::TVekWindow::ShowNotice(title, text);
    Notices.push_back(title + "|" + text);
  }
  // The caption as the window shows it, after each change.
  void SetApplicationTitle(const std::string& title) override {
    win32::TVekWindow::SetApplicationTitle(title);
    wchar_t text[256] = {};
    GetWindowTextW(Handle(), text, 256);
    Titles.push_back(platform::win32::Narrow(text));
  }
  // Each dialog takes the next answer; nullopt stands for Cancel.
  bool InputQuery(const std::string& caption, const std::string& prompt, std::string& text) override {
    return Answer(caption + "|" + prompt + "|" + text, text);
  }
  bool BrowseForFolder(const std::string& caption, std::string& folder) override { return Answer(caption, folder); }
  bool OpenFileDialog(const TOpenDialogOptions& options, std::string& fileName) override {
    return Answer(options.Title, fileName);
  }
  bool AskYesNo(const std::string& caption, const std::string& text) override {
    Asked.push_back(caption + "|" + text);
    return YesAnswer;
  }
  // The first pump after OnPump is set runs it once, in the middle of a run.
  void ProcessMessages() override {
    win32::TVekWindow::ProcessMessages();
    if (OnPump) {
      auto action = std::move(OnPump);
      OnPump = nullptr;
      action();
    }
  }

  std::deque<std::optional<std::string>> Answers;
  bool YesAnswer = true;
  std::vector<std::string> Asked, Messages, Sounds, Documents, Titles, Notices;
  std::function<void()> OnPump;

 private:
  bool Answer(const std::string& question, std::string& value) {
    Asked.push_back(question);
    if (Answers.empty()) return false;
    std::optional<std::string> answer = Answers.front();
    Answers.pop_front();
    if (answer) value = *answer;
    return answer.has_value();
  }
};

// A program directory app\ and a host directory dor\ with two thread list files.
class TWindowFixture {
 public:
  TWindowFixture() {
    WriteFile(Dir / "app\\.keep", "");
    WriteFile(Dir / "dor\\log\\.keep", "");
    WriteFile(Dir / "dor\\favorite.idx", "");
    WriteFile(Dir / "dor\\work.idx", "");
  }
  ~TWindowFixture() { Close(); }
  std::string AppPath() const { return Dir / "app\\"; }
  std::string DorPath() const { return Dir / "dor\\"; }
  void WriteSettings(const std::string& extra = "") {
    const std::string ini = AppPath() + "vek.ini";
    WriteFile(ini, "[dorvella]\r\nDirectory=" + DorPath() + "\r\n[VEK]\r\nNotifySound=1\r\n" + extra);
    // Written an hour ago: the last run is long past.
    HANDLE file = CreateFileW(platform::win32::WidePath(ini).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= 3600ULL * 10000000ULL;
    FILETIME past{t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &past);
    CloseHandle(file);
  }
  std::string Settings() const { return ReadFile(AppPath() + "vek.ini"); }

  TScriptedWindow& Open(const std::vector<std::string>& args = {}, platform::TEnv& env = platform::TEnv::Default()) {
    Window = std::make_unique<TScriptedWindow>();
    Form = std::make_unique<TVekMainForm>(*Window, env);
    Window->Create(*Form, args, AppPath());
    return *Window;
  }
  // Closes the window as the user does and lets the loop end.
  void Close() {
    if (!Window) return;
    PostMessageW(Window->Handle(), WM_CLOSE, 0, 0);
    Window->Run();
    Form.reset();
    Window.reset();
  }

  HWND Hwnd() const { return Window->Handle(); }
  void Command(const TMenuItem& item) const {
    SendMessageW(Hwnd(), WM_COMMAND, MAKEWPARAM(Window->CommandIdOf(item), 0), 0);
  }
  void Click(const TComponent& button) const { SendMessageW(Window->ControlOf(button), BM_CLICK, 0, 0); }
  bool Checked(const TMenuItem& item) const {
    return GetMenuState(Window->MenuBar(), Window->CommandIdOf(item), MF_BYCOMMAND) & MF_CHECKED;
  }
  std::string MenuText(const TMenuItem& item) const {
    wchar_t text[256] = {};
    GetMenuStringW(Window->MenuBar(), Window->CommandIdOf(item), text, 256, MF_BYCOMMAND);
    return platform::win32::Narrow(text);
  }
  // Enabled state of a top-level menu by its place in the bar.
  bool TopMenuEnabled(int position) const {
    return !(GetMenuState(Window->MenuBar(), static_cast<UINT>(position), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
  }
  static std::string Text(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return platform::win32::Narrow(text);
  }
  std::string Text(const TComponent& component) const { return Text(Window->ControlOf(component)); }
  // Processes messages for a while, as the loop would.
  void Pump(DWORD milliseconds) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
      Window->ProcessMessages();
      Sleep(10);
    }
  }

  TempDir Dir;
  std::unique_ptr<TScriptedWindow> Window;
  std::unique_ptr<TVekMainForm> Form;
};

}  // namespace vek::test
