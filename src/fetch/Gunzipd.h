// Decoding of a gzip-encoded HTTP body: the member header is parsed here, the
// raw deflate data after it goes to zlib. Only the first member is decoded.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vek {

// Upper bound of a decoded body; a board list is a few hundred KB, so a body
// that inflates past this is refused rather than allowed to exhaust memory.
constexpr size_t MaxDecodedSize = 32u * 1024 * 1024;

// Length of the gzip member header at the start of the bytes, or -1.
int GzipHeaderSize(const unsigned char* bytes, size_t length);

// Decodes the first gzip member of source into destination (emptied first).
// False for an unusable header, corrupt or truncated data, or output beyond
// maxOutput; destination may then hold partial output.
bool GunzipStream(const std::string& source, std::string& destination,
                  size_t maxOutput = MaxDecodedSize);

}  // namespace vek
