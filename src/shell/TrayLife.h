// What a program that stays in the notification area for days needs beyond a
// single check: a log that keeps its size, and a periodic check that waits
// for the network after the machine wakes. Pure rules; TVekMainForm applies
// them (shell/TrayLife.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vek {

// The most text the log keeps, counted as "veklog.txt" holds it (each line
// and its CR LF): past it the oldest whole checks leave the log pane.
inline constexpr size_t LogBoundBytes = 1024 * 1024;

// After the machine wakes, a periodic check that fell due during the sleep
// (or falls due within this time) waits this long for the network.
inline constexpr uint32_t ResumeGrace = 60000;

// How many lines, from runStarts.front() on, leave a log of these lines so
// that what stays is at most bound bytes. Whole checks leave: a check runs
// from its start line to the next one's. What comes before the first check
// (the start banner) and the latest check always stay. 0: nothing leaves.
size_t LogLinesToDrop(const std::vector<std::string>& lines, const std::vector<size_t>& runStarts, size_t bound);

// The new delay of a check timer armed at armedTick for interval ms, read at
// now just after the machine woke: ResumeGrace when the check fell due
// (or falls due within the grace), 0 when it may stay as it is.
uint32_t ResumeDelay(uint32_t armedTick, uint32_t interval, uint32_t now);

}  // namespace vek
