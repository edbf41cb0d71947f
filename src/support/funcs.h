// Small shared functions: the text of a boolean, file time stamps and the
// settings-file lock, seconds of a system time, and the EUC-JP to Shift_JIS
// conversion by way of JIS.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/FileTimes.h"
#include "support/BuffStr.h"

namespace vek {

using platform::FileHandle;
using platform::SystemTime;

std::string BoolToText(bool value);                 // "True" / "False"
int64_t SystemTimeToSeconds(const SystemTime& time);
void TouchFile(const std::string& path);
void OpenFileLock(const std::string& path, FileHandle& handle);
void CloseFileLock(FileHandle& handle);
void SetFileWriteTime(const std::string& path, const SystemTime& time);
SystemTime GetFileWriteTime(const std::string& path);

bool IsEucLeadByte(unsigned char c);
bool IsKanaByte(unsigned char c);
std::string EucPairToJis(unsigned char b1, unsigned char b2);
std::string EucToJis(std::string_view text);
std::string JisPairToSjis(unsigned char j1, unsigned char j2);
std::string JisToSjis(std::string_view text);

}  // namespace vek
