// The operating system as the main window receives it: clock, executable
// directory and files that tests replace (a fake clock drives the run guard
// without sleeping). The default forwards to the platform functions.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace vek::platform {

class TEnv {
 public:
  virtual ~TEnv() = default;
  virtual uint32_t TickCount();
  virtual SystemTime UtcNow();
  virtual SystemTime LocalNow();
  virtual void Sleep(uint32_t milliseconds);
  static TEnv& Default();
};

}  // namespace vek::platform
