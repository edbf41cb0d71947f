// The INI reader of the POSIX layer: a fuzzed file, then reads, a write and
// the read of what was written.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "platform/Ini.h"

namespace {

bool Plain(const std::string& name) {
  for (unsigned char c : name)
    if (!std::isalnum(c)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parts = vekfuzz::Parts(data, size, 3);
  // In memory where there is such a directory: the writer syncs every file.
  static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  "/vek-fuzz-ini-" + std::to_string(getpid()) + ".ini";
  static const struct Remover {
    ~Remover() { std::remove(path.c_str()); }
  } remover;
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(parts[0].data(), 1, parts[0].size(), f);
    std::fclose(f);
  }
  std::string section(parts[1].substr(0, 64)), key(parts[2].substr(0, 64));
  vek::platform::IniReadString(path, section, key, "default");
  vek::platform::IniReadString(path, "Vek", "Proxy", "");
  if (section.empty()) section = "Vek";
  if (key.empty()) key = "Key";
  bool written = vek::platform::IniWriteString(path, section, key, "value");
  std::string read = vek::platform::IniReadString(path, section, key, "default");
  // Plain names read back what was written to them, whatever the file held.
  if (written && Plain(section) && Plain(key) && read != "value") std::abort();
  return 0;
}
