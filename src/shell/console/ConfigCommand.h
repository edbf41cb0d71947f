// `vek config` with names: every setting as section.key=value, one value, or
// one value set in vek.ini, in the manner of git config.
#pragma once
#include <string>
#include <vector>

namespace vek {

// operands: {"--list"}, {name} or {name, value}; programDir in the core's
// form. Returns the exit status (0, or 1 with a message on standard error).
int ConfigCommand(const std::string& programDir, const std::vector<std::string>& operands);

}  // namespace vek
