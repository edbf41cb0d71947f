// The gzip decoder, with a small output cap so that bombs stay cheap. An input
// whose first byte is odd is also compressed here (the rest of it, at a level
// that byte chooses) and must decode to itself, and fail under a cap one byte
// too small.
#include <zlib.h>

#include <cstdlib>

#include "FuzzInput.h"
#include "fetch/Gunzipd.h"

namespace {

// One compressor per level, reset for each input: a fresh one per input
// would spend the run in the allocator.
std::string Gzipped(std::string_view text, int level) {
  static z_stream streams[10];
  static bool ready[10];
  z_stream& stream = streams[level];
  if (!ready[level] && deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    std::abort();
  ready[level] = true;
  if (deflateReset(&stream) != Z_OK) std::abort();
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) std::abort();
  out.resize(stream.total_out);
  return out;
}

void CheckRoundTrip(std::string_view text, int level) {
  std::string gz = Gzipped(text, level), out;
  if (!vek::GunzipStream(gz, out, 1u << 20) || out != text) std::abort();
  if (!text.empty() && vek::GunzipStream(gz, out, text.size() - 1)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string source(reinterpret_cast<const char*>(data), size);
  std::string out;
  vek::GzipHeaderSize(data, size);
  vek::GunzipStream(source, out, 1u << 20);
  if (out.size() > (1u << 20)) __builtin_trap();
  if (size > 0 && (data[0] & 1)) CheckRoundTrip(std::string_view(source).substr(1), (data[0] >> 1) % 10);
  return 0;
}
