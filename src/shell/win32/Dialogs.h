// The system's dialogs as the window's commands use them, in the core's
// code page 932 text: the folder browser, the file-open dialog, the Yes/No
// question, the message box and a small input box of our own.
#pragma once
#include <windows.h>

#include <string>

namespace vek::win32 {

bool BrowseForFolderDialog(HWND owner, const std::string& caption, std::string& folder);
bool YesNoDialog(HWND owner, const std::string& caption, const std::string& text);
// filter: caption and pattern pairs separated by "|"; defaultExt with or
// without its dot.
bool OpenFileNameDialog(HWND owner, const std::string& title, const std::string& filter, const std::string& defaultExt,
                        std::string& fileName);
// The input box in the owner's font, laid out for its scaling (dpi).
bool InputQueryDialog(HWND owner, HFONT font, UINT dpi, const std::string& caption, const std::string& prompt,
                      std::string& text);
void MessageDialog(HWND owner, const std::string& text);

}  // namespace vek::win32
