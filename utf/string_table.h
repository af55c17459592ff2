#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Gives every distinct node name one byte offset in a tree file's string block. Offset 0
// is the empty string that no entry covers; entries follow in the order first added.
class StringTable {
public:
    StringTable() = default;
    virtual ~StringTable() = default;

    // Appends `name` unless it is already there (byte-exact, case-sensitive).
    void Add(std::string_view name);
    // The offset of `name`, or -1 if it was never added.
    std::int32_t Find(std::string_view name) const;
    std::uint32_t GetSize() const { return size_; }
    // Writes every name and its 0 byte at its offset; `destination` holds GetSize()
    // zero bytes.
    void CopyOut(std::uint8_t* destination) const;

private:
    struct Entry {
        std::uint32_t offset;
        std::string name;
    };
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::uint32_t> offsets_;
    std::uint32_t size_ = 1;
};
