#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace cmp {

// Gives every distinct node name one byte offset in a tree file's string block. Offset 0
// is the empty string that no entry covers; entries follow in the order first added, each
// at the previous entry's offset plus its length plus 1. The table keeps the block itself
// and each name's offset.
class StringTable {
  public:
    // Appends `name` unless it is already there (byte-exact, case-sensitive), and gives
    // its offset either way. `name` may be empty: it then takes one byte of its own, it
    // is never offset 0.
    std::uint32_t Add(std::string_view name);
    // Room for this many distinct names.
    void Reserve(std::size_t names) { offsets_.reserve(names); }
    // Length of the string block in bytes: 1 for an empty table.
    std::uint32_t GetSize() const { return static_cast<std::uint32_t>(block_.size()); }
    // Writes every name and its 0 byte at its offset; `destination` holds GetSize()
    // zero bytes.
    void CopyOut(std::uint8_t* destination) const;

  private:
    // Hashes names and views of names alike, so that a name is looked up without a copy.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };

    std::string block_ = std::string(1, '\0');  // the string block as the file holds it
    std::unordered_map<std::string, std::uint32_t, NameHash, std::equal_to<>> offsets_;
};

}  // namespace cmp
