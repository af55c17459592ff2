#include "tools/cmpinfo/read/read.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace cmp {

std::string CutName(std::string_view name) {
    if (name.size() <= NameShownBytes) {
        return std::string(name);
    }
    return std::string(name.substr(0, NameCutBytes)) + "...";
}

NameShower::NameShower(std::uint64_t fileSize)
    : budget_(std::max<std::uint64_t>(fileSize, NamesShownWholeFloor)) {}

std::string NameShower::Show(std::string_view name) {
    if (name.size() <= NameShownBytes || name.size() <= budget_) {
        budget_ -= std::min<std::uint64_t>(budget_, name.size());
        return std::string(name);
    }
    return CutName(name);
}

std::string Plural(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string FormatReal(float value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string HexPreview(const UnknownLeaf& leaf) {
    std::string text;
    for (std::size_t i = 0; i < leaf.firstBytes.size(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", leaf.firstBytes[i]);
        if (i > 0) {
            text += ' ';
        }
        text += pair;
    }
    if (leaf.size > leaf.firstBytes.size()) {
        text += " ... (" + std::to_string(leaf.size - leaf.firstBytes.size()) + " more)";
    }
    return text;
}

}  // namespace cmp
