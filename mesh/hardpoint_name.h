#pragma once

#include <string_view>

namespace cmp {

// True when the first two characters are "hp" in any ASCII letter case. Null-safe.
bool IsHardpointName(const char* name);
bool IsHardpointName(std::string_view name);

}  // namespace cmp
