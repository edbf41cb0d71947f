// The program's pictures, drawn in code: its icon and the frames of the tray
// animation (TrayFrameCount frames in which a dark area spreads from the left,
// and the same again in red for a run in which a board failed).
#pragma once
#include <windows.h>

#include "check/CheckRun.h"  // TrayFrameCount

namespace vek::win32 {

// The caller owns the icon (DestroyIcon).
HICON CreateApplicationIcon(int size);
HICON CreateProgressIcon(int image);  // image 0 .. 2 * TrayFrameCount - 1

}  // namespace vek::win32
