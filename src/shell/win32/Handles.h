// Owners of the window system's handles: each is released when its owner
// goes, whatever way the program leaves (no release by hand at exit).
#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>

namespace vek::win32 {

template <typename THandleType, auto Release>
struct THandleRelease {
  void operator()(THandleType handle) const {
    if (handle) Release(handle);
  }
};

template <typename THandleType, auto Release>
using TOwned = std::unique_ptr<std::remove_pointer_t<THandleType>, THandleRelease<THandleType, Release>>;

using TFont = TOwned<HFONT, DeleteObject>;
using TIcon = TOwned<HICON, DestroyIcon>;
// A menu that belongs to a window is destroyed with it: the window gives it
// back (SetMenu(nullptr)) before it goes, and this owner destroys it.
using TMenu = TOwned<HMENU, DestroyMenu>;
using TAccelerators = TOwned<HACCEL, DestroyAcceleratorTable>;

}  // namespace vek::win32
