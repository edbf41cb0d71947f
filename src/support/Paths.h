// Paths and file names in the core's form: components separated by "\" (at
// character boundaries) or "/", and the subject cache's names, in which a
// board URL's "/" is written "%2F" and ":" is written "%3A".
#pragma once
#include <string>
#include <string_view>

namespace vek {

// False for a thread path or path fragment that could lead outside the
// directory it is joined to: empty, absolute ("\x", "/x"), with a drive letter
// or any ":", a NUL or other control byte, or an empty, "." or ".." component
// ("\" and "/" both separate components; "\" only at character boundaries).
bool IsSafeRelativePath(std::string_view path);

// The last component of a path ("\" at character boundaries, or "/").
std::string ExtractFileName(std::string_view path);
// The folder part of a path up to and with its last separator; empty when the
// path has none.
std::string_view ExtractFilePath(std::string_view path);
// The path with the extension of its last component replaced (ext includes
// the dot; an empty ext removes the extension).
std::string ChangeFileExt(std::string_view path, std::string_view ext);

// "/" to "%2F" and ":" to "%3A".
std::string EncodeCacheName(std::string_view text);
// "%2F" back to "/" and "%3A" back to ":".
std::string DecodeCacheName(std::string_view text);

}  // namespace vek
