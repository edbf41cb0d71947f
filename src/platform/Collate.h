// The case-insensitive comparison that orders sorted lists in the user's
// locale (Windows: CompareStringA with NORM_IGNORECASE). <0, 0, >0.
#pragma once
#include <string_view>

namespace vek::platform {

int CompareTextNoCase(std::string_view a, std::string_view b);

}  // namespace vek::platform
