// EUC-JP to Shift_JIS by way of ISO-2022-JP (JIS), for the one rental board
// service whose lists come in EUC-JP. Any bytes are accepted.
#pragma once
#include <string>
#include <string_view>

namespace vek {

bool IsEucLeadByte(unsigned char c);
bool IsKanaByte(unsigned char c);
std::string EucPairToJis(unsigned char b1, unsigned char b2);
std::string EucToJis(std::string_view text);
std::string JisPairToSjis(unsigned char j1, unsigned char j2);
std::string JisToSjis(std::string_view text);

}  // namespace vek
