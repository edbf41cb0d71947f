// Searching Shift_JIS text for ASCII bytes. The second byte of a two-byte
// character may be 0x5C ("\") or another ASCII byte ("表" is 95 5C), so every
// search for an ASCII delimiter in text that may hold Japanese goes through
// these helpers, which step over trail bytes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/Sjis.h"

namespace vek {

// True for the first byte of a two-byte Shift_JIS character.
using platform::IsSjisLeadByte;

// Index of the first/last occurrence of the ASCII byte at a character
// boundary, from the given start; npos when there is none.
size_t SjisFind(std::string_view text, char delimiter, size_t from = 0);
size_t SjisFindLast(std::string_view text, char delimiter);
// Index of the first occurrence of an ASCII needle at a character boundary.
size_t SjisFindText(std::string_view text, std::string_view needle, size_t from = 0);
// Splits at every occurrence of the delimiter (character boundaries only);
// n delimiters give n + 1 parts.
std::vector<std::string> SjisSplit(std::string_view text, char delimiter);
// The first line of a text (a message), without its line end. CR and LF are
// below 0x40: no trail byte of a two-byte character is one.
inline std::string FirstLineOf(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }
// Every occurrence of an ASCII needle found at a character boundary replaced.
std::string SjisReplaceAll(std::string_view text, std::string_view needle, std::string_view replacement);

}  // namespace vek
