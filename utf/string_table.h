#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cmp {

// Gives every distinct node name one byte offset in a tree file's string block. Offset 0
// is the empty string that no entry covers; entries follow in the order first added, each
// at the previous entry's offset plus its length plus 1. The table keeps the block itself,
// each name stored once, and finds names through a hash index of offsets into it, so
// lookups give the same offsets a linear scan would.
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
    // Room for this many distinct names, so that adding them never rebuilds the index.
    void Reserve(std::size_t names);
    // Length of the string block in bytes: 1 for an empty table.
    std::uint32_t GetSize() const { return static_cast<std::uint32_t>(block_.size()); }
    // Writes every name and its 0 byte at its offset; `destination` holds GetSize()
    // zero bytes.
    void CopyOut(std::uint8_t* destination) const;

  private:
    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
    };
    std::string_view NameOf(const Entry& entry) const;
    // The slot of slots_ that holds `name`'s entry, or the empty one where it would go.
    std::size_t SlotOf(std::string_view name) const;
    // The index over `slots` slots (a power of two), every entry placed again.
    void Rehash(std::size_t slots);

    std::string block_ = std::string(1, '\0');  // the string block as the file holds it
    std::vector<Entry> entries_;                // in the order first added
    // Open addressing: an entry's index plus one, or 0 for an empty slot. A power of two
    // in size, never more than half full, so that every probe ends at an empty slot.
    std::vector<std::uint32_t> slots_ = std::vector<std::uint32_t>(16, 0);
};

}  // namespace cmp
