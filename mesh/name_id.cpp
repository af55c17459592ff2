#include "mesh/mesh.h"

#include "core/text.h"

namespace cmp {

namespace {

// The file format's table comes from the reflected CRC-32 recurrence run with an
// arithmetic shift: a 1-bit that the XOR puts at the top is copied downwards by every
// later shift, which is why these entries differ from the standard table.
constexpr std::array<std::uint32_t, 256> BuildNameIdTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::int32_t c = static_cast<std::int32_t>(n);
        for (int bit = 0; bit < 8; ++bit) {
            // C++20 defines >> on a negative value as the arithmetic shift.
            c = (c & 1)
                    ? static_cast<std::int32_t>(static_cast<std::uint32_t>(c >> 1) ^ 0xEDB88320u)
                    : (c >> 1);
        }
        table[n] = static_cast<std::uint32_t>(c);
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> NameIdValues = BuildNameIdTable();

}  // namespace

const std::array<std::uint32_t, 256>& NameIdTable() {
    return NameIdValues;
}

std::uint32_t NameId(const char* name) {
    if (name == nullptr) {
        return 0;
    }
    const std::array<std::uint32_t, 256>& table = NameIdTable();
    std::uint32_t h = 0xFFFFFFFFu;
    for (const char* at = name; *at != '\0'; ++at) {
        const auto c = static_cast<std::uint8_t>(FoldAsciiCase(*at));
        h = (h >> 8) ^ table[(c ^ h) & 0xFFu];
    }
    return ~h;
}

}  // namespace cmp
