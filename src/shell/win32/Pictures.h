// The program's pictures, drawn in code: its icon and the 28 frames of the
// tray animation (14 frames in which a dark area spreads from the left, and
// the same 14 in red for a run in which a board failed).
#pragma once
#include <windows.h>

namespace vek::win32 {

constexpr int TrayFrameCount = 14;

// The caller owns the icon (DestroyIcon).
HICON CreateApplicationIcon(int size);
// The program's icon at this size from its icon resource; drawn as above
// when the module has none (the test programs).
HICON LoadProgramIcon(int size);
HICON CreateProgressIcon(int image, int size = 16);  // image 0..27

}  // namespace vek::win32
