// A list of texts as one text that any byte can pass through: each item as a netstring,
// "LEN:TEXT," (LEN in decimal digits, no leading zeros but for "0"), the items one after
// another. Paths travel between programs this way in an environment variable, where no
// separator character would be safe: a path may hold any byte but the 0.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cmp {

// "5:a.obj,5:a.mtl," for {"a.obj", "a.mtl"}; "" for no items.
inline std::string EncodeNetstrings(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += std::to_string(item.size());
        text += ':';
        text += item;
        text += ',';
    }
    return text;
}

// The items of `text`, or nothing when it is not such a list whole: a length with a
// sign, a leading zero or more than nine digits, a missing ':' or ',', a length that
// runs past the end. Never reads outside `text`.
inline std::optional<std::vector<std::string>> DecodeNetstrings(std::string_view text) {
    constexpr std::size_t MostDigits = 9;  // below a billion bytes: no overflow anywhere
    std::vector<std::string> items;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 0;
        std::size_t digits = 0;
        while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9') {
            length = length * 10 + static_cast<std::size_t>(text[at + digits] - '0');
            if (++digits > MostDigits) {
                return std::nullopt;
            }
        }
        if (digits == 0 || (digits > 1 && text[at] == '0')) {
            return std::nullopt;
        }
        at += digits;
        if (at >= text.size() || text[at] != ':') {
            return std::nullopt;
        }
        ++at;
        if (length >= text.size() - at || text[at + length] != ',') {
            return std::nullopt;
        }
        items.emplace_back(text.substr(at, length));
        at += length + 1;
    }
    return items;
}

}  // namespace cmp
