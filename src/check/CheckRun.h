// The check run: the seven steps from reading the watched threads to the two
// report boards, with its progress shown in the title, status bar, log and tray.
#pragma once

namespace vek {

class TVekMainForm;

void RunUpdateCheck(TVekMainForm& form);

}  // namespace vek
