// The gzip decoder, with a small output cap so that bombs stay cheap.
#include "FuzzInput.h"
#include "fetch/Gunzipd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string source(reinterpret_cast<const char*>(data), size);
  std::string out;
  vek::GzipHeaderSize(data, size);
  vek::GunzipStream(source, out, 1u << 20);
  if (out.size() > (1u << 20)) __builtin_trap();
  return 0;
}
