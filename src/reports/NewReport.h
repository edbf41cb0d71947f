// Step 7 of a check run: appends one response to the new-thread report board
// (localhost\vek\1000000000) listing the threads that appeared in the subject
// cache since the last snapshot, grouped by board, then takes a new snapshot.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

#include "reports/RunContext.h"

namespace vek {

// The entry templates' defaults (settings BoardExp and ThreadExp): a board's
// heading with its URL, and a thread's title and link.
inline constexpr char DefaultBoardExp[] = "<font color=\"8B2222\"><b>---------- %s ----------</b></font><br>";
inline constexpr char DefaultThreadExp[] = "&nbsp; &nbsp; %s<br>&nbsp; &nbsp; %s<br><br>";

// The number of threads the response lists (0 when none was published).
int WriteNewReport(const TRunContext& run);

// A user template with "%s" conversions filled in order ("%%" gives "%").
// False, with result untouched, when the template asks for more arguments than
// given or holds any other conversion.
bool FormatTemplate(std::string_view pattern, std::initializer_list<std::string_view> args, std::string& result);

}  // namespace vek
