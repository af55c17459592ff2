#include "utf/string_table.h"

#include <cstring>
#include <functional>

namespace cmp {

std::string_view StringTable::NameOf(const Entry& entry) const {
    return std::string_view(block_).substr(entry.offset, entry.length);
}

std::size_t StringTable::SlotOf(std::string_view name) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = std::hash<std::string_view>{}(name)&mask;; slot = (slot + 1) & mask) {
        if (slots_[slot] == 0 || NameOf(entries_[slots_[slot] - 1]) == name) {
            return slot;
        }
    }
}

void StringTable::Rehash(std::size_t slots) {
    std::vector<std::uint32_t> old(slots, 0);
    old.swap(slots_);
    for (const std::uint32_t index : old) {
        if (index != 0) {
            slots_[SlotOf(NameOf(entries_[index - 1]))] = index;
        }
    }
}

void StringTable::Reserve(std::size_t names) {
    entries_.reserve(names);
    std::size_t slots = slots_.size();
    while (slots < 2 * names) {
        slots *= 2;
    }
    if (slots > slots_.size()) {
        Rehash(slots);
    }
}

std::uint32_t StringTable::Add(std::string_view name) {
    std::size_t slot = SlotOf(name);
    if (slots_[slot] != 0) {
        return entries_[slots_[slot] - 1].offset;
    }
    const auto offset = static_cast<std::uint32_t>(block_.size());
    entries_.push_back({offset, static_cast<std::uint32_t>(name.size())});
    block_.append(name);
    block_.push_back('\0');
    slots_[slot] = static_cast<std::uint32_t>(entries_.size());
    if (2 * entries_.size() > slots_.size()) {
        Rehash(2 * slots_.size());
    }
    return offset;
}

std::int32_t StringTable::Find(std::string_view name) const {
    const std::uint32_t index = slots_[SlotOf(name)];
    return index == 0 ? -1 : static_cast<std::int32_t>(entries_[index - 1].offset);
}

void StringTable::CopyOut(std::uint8_t* destination) const {
    std::memcpy(destination, block_.data(), block_.size());
}

}  // namespace cmp
