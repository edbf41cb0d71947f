// The two operations that open every check run: the guard that decides
// whether a run may start now, and the configuration block of the log.
#pragma once

namespace vek {

class TVekMainForm;

// True when the run must not start; writes its own log lines and, when it
// refuses for a pause, re-arms the run timer for the moment the pause ends.
bool IsCheckRestrained(TVekMainForm& form);
void LogConfiguration(TVekMainForm& form);

}  // namespace vek
