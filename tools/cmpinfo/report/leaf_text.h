// Text forms that the decoders' messages and both renderers share, so that a value reads
// the same wherever cmpinfo shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/cmpinfo/read/decoded_leaf.h"

namespace cmp {

// Text for people: printable ASCII as it is, any other byte as \xNN.
std::string Printable(std::string_view text);

// A name as lines that repeat names show it: whole up to NameShownBytes, else its first
// NameCutBytes and "...". Raw bytes, for Printable or JSON to escape. A problem line names
// its node's whole path, so a hostile name of thousands of bytes would otherwise come back
// in every problem of every node below it.
inline constexpr std::size_t NameShownBytes = 64;
inline constexpr std::size_t NameCutBytes = 60;
std::string CutName(std::string_view name);

// Names in the views of the whole tree: whole while the names shown whole add up to no
// more than the file's length (or NamesShownWholeFloor), which any ordinary file's names
// do; past that, cut by CutName. Records may share one name, so a file whose records all
// name one long string would otherwise print many times its own size.
inline constexpr std::uint64_t NamesShownWholeFloor = 65536;
class NameShower {
  public:
    explicit NameShower(std::uint64_t fileSize);
    // The raw bytes to show for `name`.
    std::string Show(std::string_view name);

  private:
    std::uint64_t budget_;
};

// "1 byte", "2 bytes".
std::string Plural(std::uint64_t count, const char* one, const char* many);

// Shortest decimal text that reads back as the same float ("-0" for negative zero; "nan",
// "inf" or "-inf" for what is not a finite number).
std::string FormatReal(float value);

// The shown bytes in upper-case hex, space-separated, then " ... (N more)" when the leaf
// holds more; empty for an empty leaf.
std::string HexPreview(const UnknownLeaf& leaf);

}  // namespace cmp
