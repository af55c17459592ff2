// The JSON values cmpinfo prints, built and serialised by nlohmann's library, and the
// few rules that keep the printed text as it has always been.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace cmp {

// Members keep the order they are added in; reals are stored as the floats the file
// holds, so that none is widened into digits it never had.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                  std::int64_t, std::uint64_t, float>;

// A string taken as bytes, not as UTF-8: every byte is the character of that number, so
// any name or text from a file makes a valid JSON string and no byte is lost.
Json JsonBytes(std::string_view bytes);

// A real as a number, or as the string "nan", "inf" or "-inf", which JSON has no number for.
Json JsonReal(float value);

// Compact JSON text of `value`, all ASCII: every character outside printable ASCII as a
// \u00XX escape with upper-case digits, and every real in the shortest text that reads
// back as the same float ("1", "-0", "1e-04"), as cmpinfo has always printed them.
std::string DumpJson(const Json& value);

}  // namespace cmp
