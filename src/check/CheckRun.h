// The check run: the seven steps from reading the watched threads to the two
// report boards, with its progress shown in the title, status bar, log and
// tray. This driver is the main window's own command, the one place below the
// window that knows it: every step it calls gets a TRunContext instead.
#pragma once

namespace vek {

class TVekMainForm;

void RunUpdateCheck(TVekMainForm& form);

// The run guard over the window's run state: true when the run must not
// start; a refusal for a pause re-arms the run timer for its end.
bool IsCheckRestrained(TVekMainForm& form);

}  // namespace vek
