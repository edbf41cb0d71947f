// Splits one fuzzer input into a few parts at the first "\n--\n" markers, so
// that one input can drive a function of several texts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vekfuzz {

inline std::vector<std::string_view> Parts(const uint8_t* data, size_t size, size_t count) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    size_t at = rest.find("\n--\n");
    if (at == std::string_view::npos) break;
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + 4);
  }
  parts.push_back(rest);
  while (parts.size() < count) parts.emplace_back();
  return parts;
}

}  // namespace vekfuzz
