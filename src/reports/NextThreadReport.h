// The next-thread report board (localhost\vek\1020000000), written after the
// dead-thread report when the setting NextThreadReport is on: a thread of two
// responses, the second listing every watched thread that filled up or fell
// in this check, why, and the threads of its board that continue it.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "reports/ResCount.h"
#include "reports/RunContext.h"

namespace vek {

// Replaces both report files when a thread of ended stands on a board in
// downloaded (cache file names of the boards this check downloaded); does
// nothing otherwise. True when the report then lists other threads or
// candidates than the one it replaced: only then is it new to the reader.
bool WriteNextThreadReport(const TRunContext& run, const std::vector<TEndedThread>& ended,
                           const std::set<std::string>& downloaded);

}  // namespace vek
