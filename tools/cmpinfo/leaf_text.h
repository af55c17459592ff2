// Text forms that the decoders' messages and both renderers share, so that a value reads
// the same wherever cmpinfo shows it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/cmpinfo/decoded_leaf.h"

namespace cmp {

// Text for people: printable ASCII as it is, any other byte as \xNN.
std::string Printable(std::string_view text);

// "1 byte", "2 bytes".
std::string Plural(std::uint64_t count, const char* one, const char* many);

// Shortest decimal text that reads back as the same float ("-0" for negative zero; "nan",
// "inf" or "-inf" for what is not a finite number).
std::string FormatReal(float value);

// The shown bytes in upper-case hex, space-separated, then " ... (N more)" when the leaf
// holds more; empty for an empty leaf.
std::string HexPreview(const UnknownLeaf& leaf);

}  // namespace cmp
