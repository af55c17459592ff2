#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cmp {

// Gives every distinct node name one byte offset in a tree file's string block. Offset 0
// is the empty string that no entry covers; entries follow in the order first added, each
// at the previous entry's offset plus its length plus 1. Lookups go through a hash index
// beside the ordered entries, so they give the same offsets a linear scan would.
class StringTable {
  public:
    StringTable() = default;
    virtual ~StringTable() = default;

    // Appends `name` unless it is already there (byte-exact, case-sensitive), and gives
    // its offset, as Find would. `name` may be empty: it then takes one byte of its own,
    // it is never offset 0.
    std::uint32_t Add(std::string_view name);
    // The offset of `name`, or -1 if it was never added.
    std::int32_t Find(std::string_view name) const;
    // Length of the string block in bytes: 1 for an empty table.
    std::uint32_t GetSize() const { return size_; }
    // Writes every name and its 0 byte at its offset; `destination` holds GetSize()
    // zero bytes.
    void CopyOut(std::uint8_t* destination) const;

  private:
    struct Entry {
        std::uint32_t offset;
        std::string name;
    };
    // Lets the index be searched with a string_view without building a std::string.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::uint32_t, NameHash, std::equal_to<>> offsets_;
    std::uint32_t size_ = 1;
};

}  // namespace cmp
