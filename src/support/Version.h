// The program's version, from the build's project version, and the
// User-Agent that carries it to the board servers.
#pragma once

#ifndef VEK_VERSION_TEXT
#error "the build defines VEK_VERSION_TEXT from the project version"
#endif

namespace vek {

inline constexpr const char* VersionText = VEK_VERSION_TEXT;
inline constexpr const char* UserAgentText = "Monazilla/1.00 (VEK/" VEK_VERSION_TEXT ")";

}  // namespace vek
