#pragma once

#include <array>
#include <cstdint>

namespace cmp {

// The 256-entry table of the identifier checksum (not the standard CRC-32 table).
const std::array<std::uint32_t, 256>& NameIdTable();

// The file format's 32-bit identifier of a name, blind to ASCII letter case. The empty
// name (and a null pointer) gives 0.
std::uint32_t NameId(const char* name);

}  // namespace cmp
