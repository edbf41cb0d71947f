// The default environment: the real clock of this platform.
#include "platform/Env.h"

namespace vek::platform {

uint32_t TEnv::TickCount() { return platform::TickCount(); }
SystemTime TEnv::UtcNow() { return platform::UtcNow(); }
SystemTime TEnv::LocalNow() { return platform::LocalNow(); }
void TEnv::Sleep(uint32_t milliseconds) { platform::Sleep(milliseconds); }

TEnv& TEnv::Default() {
  static TEnv env;
  return env;
}

}  // namespace vek::platform
