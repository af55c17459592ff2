// Small text helpers shared by every layer, so that each rule exists once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace cmp {

// The C runtime's tolower in its default locale: only A to Z fold; every other byte,
// those from 0x80 up included, stays as it is whatever the current locale says.
constexpr char FoldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `text` begins with `prefix`, A to Z compared without regard to case.
constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (FoldAsciiCase(text[i]) != FoldAsciiCase(prefix[i])) {
            return false;
        }
    }
    return true;
}

// "0x" and the value in upper-case hexadecimal digits, without leading zeros: "0x101".
inline std::string HexWord(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

}  // namespace cmp
