// Every multi-byte field of every file goes through these helpers, so the bytes
// never depend on the machine's own byte order or struct layout.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace cmp {

using Bytes = std::vector<std::uint8_t>;
// A view of bytes held elsewhere, as they are handed to a file.
using BytePiece = std::span<const std::uint8_t>;

inline void AppendU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void AppendU32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

inline void AppendF32(Bytes& out, float value) {
    AppendU32(out, std::bit_cast<std::uint32_t>(value));
}

// Stores into existing storage; the caller guarantees room for the field.
inline void StoreU16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void StoreU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline void StoreF32(std::uint8_t* at, float value) {
    StoreU32(at, std::bit_cast<std::uint32_t>(value));
}

// Loads from storage the caller has bounds-checked.
inline std::uint16_t LoadU16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

inline std::uint32_t LoadU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

inline float LoadF32(const std::uint8_t* at) {
    return std::bit_cast<float>(LoadU32(at));
}

}  // namespace cmp
