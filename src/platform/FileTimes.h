// Last-write times and the no-sharing handle the program keeps on its
// settings file. All times are UTC system times.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace vek::platform {

// An open file handle, or 0 for none.
using FileHandle = intptr_t;

// Opens for writing with no sharing, creating an absent file empty (never
// changing content). 0 when it cannot be opened. On Windows nobody else can
// open the file for reading or writing while the handle is held. POSIX has no
// mandatory sharing modes: the handle holds an exclusive advisory lock (flock)
// that cooperating programs, and this program, respect; a program that does
// not ask for a lock can still read and write the file.
FileHandle OpenNoShare(const std::string& path);
void CloseHandle(FileHandle handle);
bool SetHandleWriteTime(FileHandle handle, const SystemTime& utc);

// Opens with attribute access only (works while another handle holds the
// file without sharing), creating an absent file empty, and reads its
// last-write time. False when that fails.
bool GetWriteTimeByPath(const std::string& path, SystemTime& utc);

}  // namespace vek::platform
