#include "tools/cmpinfo/report/report.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "tools/cmpinfo/read/read.h"

namespace cmp {

namespace {

// nlohmann's dump writes "\n", "\t" and the like for some control characters and
// lower-case hex digits for the others; ours writes them all as \u00XX, upper case.
// Returns the index of the escape's last character.
std::size_t RestyleEscape(const std::string& dumped, std::size_t at, std::string& text) {
    const char kind = dumped[at + 1];
    if (kind == 'u') {
        text += "\\u";
        for (std::size_t i = at + 2; i < at + 6; ++i) {
            text += static_cast<char>(std::toupper(static_cast<unsigned char>(dumped[i])));
        }
        return at + 5;
    }
    const char* const shortForms = "b\bf\fn\nr\rt\t";
    for (const char* form = shortForms; *form; form += 2) {
        if (kind == form[0]) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(form[1]));
            text += escape;
            return at + 1;
        }
    }
    text.append(dumped, at, 2);  // \" and \\ stay
    return at + 1;
}

// nlohmann marks every real with a "." or an exponent ("1.0", "0.0001"); ours is the
// shortest text of the same float ("1", "1e-04"). Integers pass as they are. Returns the
// index of the number's last character.
std::size_t RestyleNumber(const std::string& dumped, std::size_t at, std::string& text) {
    std::size_t end = at;
    bool real = false;
    while (end < dumped.size() &&
           std::string_view("+-.0123456789eE").find(dumped[end]) != std::string_view::npos) {
        real = real || dumped[end] == '.' || dumped[end] == 'e' || dumped[end] == 'E';
        ++end;
    }
    float value = 0;
    if (real && std::from_chars(dumped.data() + at, dumped.data() + end, value).ec == std::errc()) {
        text += FormatReal(value);
    } else {
        text.append(dumped, at, end - at);
    }
    return end - 1;
}

}  // namespace

Json JsonBytes(std::string_view bytes) {
    std::string utf8;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return Json(std::move(utf8));
}

Json JsonReal(float value) {
    return std::isfinite(value) ? Json(value) : Json(FormatReal(value));
}

std::string DumpJson(const Json& value) {
    const std::string dumped = value.dump(-1, ' ', true);
    std::string text;
    text.reserve(dumped.size());
    bool inString = false;
    for (std::size_t at = 0; at < dumped.size(); ++at) {
        const char c = dumped[at];
        if (inString && c == '\\') {
            at = RestyleEscape(dumped, at, text);
        } else if (!inString && (c == '-' || std::isdigit(static_cast<unsigned char>(c)))) {
            at = RestyleNumber(dumped, at, text);
        } else {
            inString = inString != (c == '"');
            text += c;
        }
    }
    return text;
}

}  // namespace cmp
