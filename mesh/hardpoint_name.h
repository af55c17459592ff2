#pragma once

namespace cmp {

// True when the first two characters are "hp" in any ASCII letter case. Null-safe.
bool IsHardpointName(const char* name);

}  // namespace cmp
