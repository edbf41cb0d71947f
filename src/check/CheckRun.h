// The check run: the seven steps from reading the watched threads to the two
// report boards, with its progress shown in the title, status bar, log and
// tray. The driver knows no window: it gets the run's context, a progress
// interface the front-end implements, and the state that lives between runs,
// and it answers with what the front-end acts on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "check/Configuration.h"
#include "check/RunGuard.h"
#include "reports/RunContext.h"

namespace vek {

// The tray animation: TrayFrameCount frames in which a dark area spreads from
// the left as the downloads go on, then the same frames again in red (frame +
// TrayFrameCount) from a run's first failed board on. TrayOwnIcon puts the
// program's own icon back.
inline constexpr int TrayFrameCount = 14;
inline constexpr int TrayOwnIcon = -1;
// The program's title between runs; a run shows its step in it ("VEK [3/7]
// ...").
inline constexpr const char* IdleTitle = "VEK";

// What a run shows while it lasts and the window's parts it holds; the main
// form implements it.
class IRunProgress {
 public:
  virtual ~IRunProgress() = default;
  virtual void SetRunTitle(const std::string& title) = 0;
  virtual void SetRunStatus(const std::string& text) = 0;
  // A frame of the animation (0 .. 2 * TrayFrameCount - 1) or TrayOwnIcon.
  virtual void SetTrayFrame(int frame) = 0;
  // A run began (true) or ended (false), however it ended. While it lasts the
  // commands that would change a run's settings are off, and a view shows
  // the run's progress.
  virtual void SetRunUnderWay(bool underWay) = 0;
  // The log pane in view when the ignore list stands in its place.
  virtual void ShowLogPane() = 0;
  // The failed-board list, opened for the reader.
  virtual void OpenDocument(const std::string& path) = 0;
  // The host browser closed at a run's start, started at its end (when the
  // settings ask for it).
  virtual void CloseHostBrowser() = 0;
  virtual void StartHostBrowser() = 0;
};

enum class TRunOutcome { None, Refused, Completed, Failed };

// How a run ended, and what it found, for the front-end to act on.
struct TRunResult {
  TRunOutcome Outcome = TRunOutcome::None;
  std::string Error;  // Failed: the reason, as the log's "ERROR: " line says it
  // Milliseconds from the run's return until the guard lets the next run
  // start (RestraintWait). After a refusal, 0 means that waiting does not
  // help (no host directory).
  uint32_t NextRunAfter = 0;
  // Completed: the index files (relative to the log directory) of the threads
  // with new responses, of the threads that fell from their boards, and the
  // subject list lines of the boards that failed or were skipped.
  std::vector<std::string> UpdatedThreads;
  std::vector<std::string> FallenThreads;
  std::vector<std::string> FailedBoards;
  int NewThreads = 0;  // the threads the new-thread report listed in this run
};

// Seconds since startTick with two decimals and the user's decimal separator,
// as the log shows a step's time.
std::string ElapsedText(platform::TEnv& env, uint32_t startTick);

// One run: the guard, then the seven steps. An error that escapes a step is
// logged ("ERROR: "), the title and the tray are put back, and the result
// says Failed. A run that started says it ended before it returns; a
// refused one never said it began.
TRunResult RunUpdateCheck(const TRunContext& run, const TProgramSettings& program, IRunProgress& progress,
                          TRunState& state);

}  // namespace vek
