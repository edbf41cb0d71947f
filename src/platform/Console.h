// Text to and from the terminal: the core's code page 932 text converted to
// what the terminal shows (UTF-8 on POSIX; the console's code page on Windows).
#pragma once
#include <string>
#include <string_view>

namespace vek::platform {

std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);  // characters with no CP932 form become "?"
void WriteStdout(std::string_view cp932);        // converted for the terminal
void WriteStderr(std::string_view cp932);
bool StderrIsTerminal();

}  // namespace vek::platform
