// The private-profile (INI) rules: case-insensitive sections and keys, blanks
// around a value dropped, one pair of matching quotes dropped, values cut at
// 2047 characters, new keys appended to their section and new sections to the
// end of the file. Windows calls the system's functions; POSIX follows the
// same rules here.
#pragma once
#include <string>

#include "platform/Files.h"

namespace vek::platform {

std::string IniReadString(const std::string& fileName, const std::string& section,
                          const std::string& key, const std::string& defaultValue);
// False when the file cannot be written. Renamed suits a draft that is itself
// later copied over the real file with a flush: the POSIX layer then skips
// the flush of each key (the Windows profile functions never flush).
bool IniWriteString(const std::string& fileName, const std::string& section,
                    const std::string& key, const std::string& value,
                    TDurability durability = TDurability::Flushed);

// Says that the file was replaced as a whole, not through IniWriteString.
// Windows' profile functions may keep a file's contents and trust them while
// its last-write time stays the same, which the settings file's does.
void IniFileReplaced(const std::string& fileName);

}  // namespace vek::platform
