#include "utf/utf.h"

#include <cstring>

namespace cmp {

std::uint32_t StringTable::Add(std::string_view name) {
    if (const auto known = offsets_.find(name); known != offsets_.end()) {
        return known->second;
    }
    const std::uint32_t offset = GetSize();
    offsets_.emplace(name, offset);
    block_.append(name);
    block_.push_back('\0');
    return offset;
}

void StringTable::CopyOut(std::uint8_t* destination) const {
    std::memcpy(destination, block_.data(), block_.size());
}

}  // namespace cmp
