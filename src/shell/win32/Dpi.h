// The display scaling a window is drawn at (96 dots per inch = 100 %). The
// per-window and per-monitor functions (GetDpiForWindow and its kin) came
// with Windows 10 version 1607; before that the window is drawn at the
// system's one scaling, which stands for every monitor.
#pragma once
#include <windows.h>

namespace vek::win32 {

constexpr UINT DesignDpi = 96;

UINT SystemDpi();
UINT WindowDpi(HWND window);
// A design size in pixels at 96 dpi, at this scaling.
inline int Scaled(int designPixels, UINT dpi) { return MulDiv(designPixels, static_cast<int>(dpi), DesignDpi); }
int SystemMetricForDpi(int index, UINT dpi);
// The notification area's icon size: the taskbar is drawn at the system's
// scaling, whichever monitor the window is on.
inline int TrayIconSize() { return GetSystemMetrics(SM_CXSMICON); }
// The window size for a client area of this size, style and menu bar.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu, UINT dpi);

}  // namespace vek::win32
