// A clock for the window's tests that moves only when the test lets time pass.
#pragma once
#include <cstdint>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "platform/Env.h"
#include "support/funcs.h"

namespace vek::test {

// Starts at the real moment (the fixture stamps the settings file an hour
// before it) and moves only when the test lets time pass.
class TVirtualClock : public platform::TEnv {
 public:
  TVirtualClock() : UtcMs(SystemTimeToSeconds(platform::UtcNow()) * 1000) {}
  uint32_t TickCount() override { return Tick; }
  platform::SystemTime UtcNow() override { return At(UtcMs); }
  platform::SystemTime LocalNow() override { return At(UtcMs + 9 * 3600 * 1000); }
  void Sleep(uint32_t milliseconds) override { Pass(milliseconds); }
  void Pass(uint32_t milliseconds) {
    Tick += milliseconds;
    UtcMs += milliseconds;
  }

 private:
  static platform::SystemTime At(int64_t ms) {
    platform::SystemTime t = SecondsToSystemTime(ms / 1000);
    t.Milliseconds = static_cast<uint16_t>(ms % 1000);
    return t;
  }
  uint32_t Tick = 7000000;
  int64_t UtcMs;
};

// Lets the armed timer's time pass and fires it as the system would; how the
// run it began ended.
inline TRunOutcome FireCheckTimer(TWindowFixture& f, TVirtualClock& clock) {
  EXPECT_TRUE(f.Form->Timer.Enabled);
  clock.Pass(f.Form->Timer.Interval);
  const size_t logLines = f.Form->LogMemo.Lines.size();
  SendMessageW(f.Hwnd(), WM_TIMER, win32::CheckTimerId, 0);
  EXPECT_GT(f.Form->LogMemo.Lines.size(), logLines) << "no run began";
  return f.Form->LastRun().Outcome;
}

}  // namespace vek::test
