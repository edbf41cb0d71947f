// The log's bound and the wake from sleep, as rules.
#include <gtest/gtest.h>

#include "shell/TrayLife.h"

namespace vek {
namespace {

// A banner of three lines, then checks of 3, 2 and 2 lines (4 bytes a line
// with its CR LF, the empty one 2): 38 bytes in all.
TEST(LogBound, TheOldestWholeChecksLeaveAndTheBannerAndTheLatestCheckStay) {
  const std::vector<std::string> lines = {"ab", "cd", "", "s1", "x1", "y1", "s2", "x2", "s3", "x3"};
  const std::vector<size_t> starts = {3, 6, 8};
  EXPECT_EQ(LogLinesToDrop(lines, starts, 100), 0u);  // below the bound: as it was
  EXPECT_EQ(LogLinesToDrop(lines, starts, 38), 0u);   // exactly at it
  EXPECT_EQ(LogLinesToDrop(lines, starts, 37), 3u);   // one byte over: the first check
  EXPECT_EQ(LogLinesToDrop(lines, starts, 26), 3u);
  EXPECT_EQ(LogLinesToDrop(lines, starts, 25), 5u);   // two checks
  EXPECT_EQ(LogLinesToDrop(lines, starts, 1), 5u);    // never the latest check
  EXPECT_EQ(LogLinesToDrop(lines, {3}, 1), 0u);       // nor the only one
}

TEST(ResumeDelay, ACheckDueDuringTheSleepWaitsTheGraceAndOneLaterKeepsItsTime) {
  EXPECT_EQ(ResumeDelay(1000, 60000, 1000 + 3600000), ResumeGrace);  // long past due
  EXPECT_EQ(ResumeDelay(1000, 60000, 1000 + 30000), ResumeGrace);    // due within the grace
  EXPECT_EQ(ResumeDelay(1000, 600000, 1000 + 120000), 0u);           // eight minutes left
  EXPECT_EQ(ResumeDelay(0xFFFFF000u, 600000, 0x1000u), 0u);          // across the tick's wrap
}

}  // namespace
}  // namespace vek
