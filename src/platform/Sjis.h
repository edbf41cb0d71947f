// The lead-byte rule of code page 932, for the few places in this layer that
// must not mistake a trail byte for ASCII.
#pragma once

namespace vek::platform {

constexpr bool IsSjisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace vek::platform
