// The log backup: the index and log files of every fallen thread listed in
// the host browser's "favorite.idx" move from its log directory to
// "backlog\" beside it, each keeping its thread path.
#pragma once
#include <functional>
#include <stdexcept>
#include <string>

namespace vek {

// What ends a backup before its last line, with the message the user sees.
// Everything moved before it stays moved.
class TBackupStop : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// dorPath is the host directory with its trailing "\". Goes through
// "favorite.idx" from the first line to the last: a thread whose flags have
// the fallen bit moves to dorPath + "backlog\" + its thread path (missing
// directories created), its ".idx" first, then its ".dat"; a move that fails
// (target already there, no ".dat") is passed over. An empty line and a line
// whose index file is not there (an earlier backup moved it) are passed over;
// a thread path that would lead outside either directory is handed to
// refused and passed over. Throws TBackupStop when "favorite.idx" or an index
// file cannot be read, or an index's flags are missing or not a number.
// "favorite.idx" itself is never changed.
void BackupFallenThreads(const std::string& dorPath, const std::function<void(const std::string&)>& refused);

}  // namespace vek
