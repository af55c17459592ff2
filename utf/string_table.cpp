#include "utf/string_table.h"

#include <cstring>

namespace cmp {

std::uint32_t StringTable::Add(std::string_view name) {
    const auto [entry, added] = offsets_.try_emplace(std::string(name), GetSize());
    if (added) {
        block_.append(name);
        block_.push_back('\0');
    }
    return entry->second;
}

void StringTable::CopyOut(std::uint8_t* destination) const {
    std::memcpy(destination, block_.data(), block_.size());
}

}  // namespace cmp
