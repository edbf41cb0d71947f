// Gzip member header parsing and raw-deflate decoding of a whole body in memory.
#include "fetch/Gunzipd.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace vek {
namespace {

constexpr size_t BlockSize = 32768;

constexpr unsigned char FlagHeaderCrc = 0x02;
constexpr unsigned char FlagExtra = 0x04;
constexpr unsigned char FlagName = 0x08;
constexpr unsigned char FlagComment = 0x10;
constexpr unsigned char FlagReserved = 0xE0;

// Position just past the NUL that ends a header string starting at pos, or 0
// when the data ends first.
size_t SkipZeroTerminated(const unsigned char* bytes, size_t length, size_t pos) {
  for (size_t i = pos; i < length; ++i)
    if (bytes[i] == 0) return i + 1;
  return 0;
}

// Ends the inflater however the decoding leaves.
class InflateGuard {
 public:
  explicit InflateGuard(z_stream& stream) : Stream(stream) {}
  ~InflateGuard() { inflateEnd(&Stream); }
  InflateGuard(const InflateGuard&) = delete;
  InflateGuard& operator=(const InflateGuard&) = delete;

 private:
  z_stream& Stream;
};

}  // namespace

int GzipHeaderSize(const unsigned char* bytes, size_t length) {
  if (bytes == nullptr || length < 10) return -1;
  if (bytes[0] != 0x1F || bytes[1] != 0x8B) return -1;
  const unsigned char flags = bytes[3];
  if (bytes[2] != 8 || (flags & FlagReserved) != 0) return -1;
  size_t pos = 10;
  if (flags & FlagExtra) {
    if (length < 12) return -1;
    pos = 12 + bytes[10] + 256u * bytes[11];
    if (pos > length) return -1;
  }
  if (flags & FlagName) {
    pos = SkipZeroTerminated(bytes, length, pos);
    if (pos == 0) return -1;
  }
  if (flags & FlagComment) {
    pos = SkipZeroTerminated(bytes, length, pos);
    if (pos == 0) return -1;
  }
  if (flags & FlagHeaderCrc) {
    pos += 2;
    if (pos > length) return -1;
  }
  if (pos > static_cast<size_t>(INT_MAX)) return -1;
  return static_cast<int>(pos);
}

// Input that runs out before the end of the deflate stream is a failure, not
// a shorter success: a cut-off board list must not replace the cached one.
// Output beyond maxOutput is a failure too, so that no body can exhaust memory.
bool GunzipStream(const std::string& source, std::string& destination, size_t maxOutput) {
  destination.clear();
  const auto* bytes = reinterpret_cast<const unsigned char*>(source.data());
  const int headerSize = GzipHeaderSize(bytes, source.size());
  if (headerSize < 0) return false;

  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) return false;
  InflateGuard guard(stream);

  const unsigned char* next = bytes + headerSize;
  size_t remaining = source.size() - static_cast<size_t>(headerSize);
  unsigned char block[BlockSize];
  stream.next_out = block;
  stream.avail_out = BlockSize;

  for (;;) {
    if (stream.avail_in == 0 && remaining > 0) {
      const size_t chunk = std::min<size_t>(remaining, UINT_MAX);
      stream.next_in = const_cast<unsigned char*>(next);
      stream.avail_in = static_cast<uInt>(chunk);
      next += chunk;
      remaining -= chunk;
    }
    const int status = inflate(&stream, Z_NO_FLUSH);
    const size_t filled = BlockSize - stream.avail_out;
    if (status == Z_STREAM_END || stream.avail_out == 0) {
      if (filled > maxOutput - destination.size()) return false;  // destination never exceeds the cap
      destination.append(reinterpret_cast<const char*>(block), filled);
      stream.next_out = block;
      stream.avail_out = BlockSize;
      if (status == Z_STREAM_END) return true;
    }
    if (status != Z_OK && status != Z_STREAM_END) {
      // Z_BUF_ERROR with the input used up is the truncated body.
      return false;
    }
    if (stream.avail_in == 0 && remaining == 0 && stream.avail_out != 0) return false;
  }
}

}  // namespace vek
