#pragma once

#include <cstdint>

#include "core/little_endian.h"
#include "tree/node_tree.h"
#include "utf/string_table.h"

inline constexpr std::uint32_t UtfMagic = 0x20465455;  // "UTF "
inline constexpr std::uint32_t UtfVersion = 0x101;
inline constexpr std::uint32_t UtfHeaderSize = 56;
inline constexpr std::uint32_t UtfRecordSize = 44;
inline constexpr std::uint32_t UtfFlagBranch = 0x10;
inline constexpr std::uint32_t UtfFlagLeaf = 0x80;

// The three blocks of one tree file, planned from a whole tree before a byte is
// written: node records in pre-order, names in registry order, leaf bytes in record
// order. Walks sibling chains with an explicit stack, so any width of tree is safe.
class UtfLayout {
public:
    explicit UtfLayout(const NodeTree& tree);
    virtual ~UtfLayout() = default;

    const Bytes& NodeBlock() const { return nodeBlock_; }
    const Bytes& StringBlock() const { return stringBlock_; }
    const Bytes& DataBlock() const { return dataBlock_; }
    // The 56-byte header for these blocks.
    Bytes Header() const;
    // Header and the three blocks: the whole file.
    Bytes FileBytes() const;

private:
    Bytes nodeBlock_;
    Bytes dataBlock_;
    Bytes stringBlock_;
    StringTable strings_;
};
