// The clock as the program's parts receive it: tick count, system and local
// time, sleep. Tests replace it (a fake clock drives the run guard without
// sleeping); the default forwards to the platform functions of Clock.h.
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
