// The INI reader of the POSIX layer: a fuzzed file, then reads and a write.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuzzInput.h"
#include "platform/Ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parts = vekfuzz::Parts(data, size, 3);
  static const std::string path = "/tmp/vek-fuzz-ini-" + std::to_string(getpid()) + ".ini";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(parts[0].data(), 1, parts[0].size(), f);
    std::fclose(f);
  }
  std::string section(parts[1].substr(0, 64)), key(parts[2].substr(0, 64));
  vek::platform::IniReadString(path, section, key, "default");
  vek::platform::IniReadString(path, "Vek", "Proxy", "");
  vek::platform::IniWriteString(path, section.empty() ? "Vek" : section, key.empty() ? "Key" : key, "value");
  vek::platform::IniReadString(path, section, key, "default");
  return 0;
}
