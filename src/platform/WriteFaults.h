// Writes made to fail on purpose, so that a check run can be proved on a disk
// that fills up or fails. Every kind of write the platform layer makes asks
// here first, with the file it is about to write:
//
//   VEK_FAIL_WRITE=KIND:N[:eio][,KIND:N...]
//       the Nth write of KIND in this process fails as it does when the disk
//       is full (or, with ":eio", with an input/output error);
//   VEK_WRITE_TRACE=FILE
//       every write asked about is appended to FILE as "KIND<TAB>path" (the
//       core's form), so that a test can count the writes of a run first.
//
// KIND is one of: replace (a file replaced through a temporary), ini (one
// settings key), mkdir (a directory created), move (a file moved), touch (a
// file opened for writing, created when absent: the settings stamp and lock,
// the list files), stamp (a last-write time set).
//
// Both are read once, at the first write. The switch is in every build, so
// that the tests drive the very programs users run (the Windows ones under
// Wine included); it can only make writes fail, and the trace writes only the
// file the caller names.
#pragma once
#include <string>

namespace vek::platform {

enum class TWriteKind { Replace, Ini, Mkdir, Move, Touch, Stamp };
enum class TWriteFault { None, DiskFull, IoError };

// Counts this write of its kind and says how it must fail, if at all.
TWriteFault InjectedWriteFault(TWriteKind kind, const std::string& path);

}  // namespace vek::platform
