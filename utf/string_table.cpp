#include "utf/string_table.h"

#include <cstring>

namespace cmp {

std::uint32_t StringTable::Add(std::string_view name) {
    if (auto found = offsets_.find(name); found != offsets_.end()) {
        return found->second;
    }
    const std::uint32_t offset = size_;
    entries_.push_back(Entry{offset, std::string(name)});
    offsets_.emplace(std::string(name), offset);
    size_ += static_cast<std::uint32_t>(name.size()) + 1;
    return offset;
}

std::int32_t StringTable::Find(std::string_view name) const {
    auto found = offsets_.find(name);
    if (found == offsets_.end()) {
        return -1;
    }
    return static_cast<std::int32_t>(found->second);
}

void StringTable::CopyOut(std::uint8_t* destination) const {
    for (const Entry& entry : entries_) {
        std::memcpy(destination + entry.offset, entry.name.data(), entry.name.size());
        destination[entry.offset + entry.name.size()] = 0;
    }
}

}  // namespace cmp
