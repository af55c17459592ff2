#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/little_endian.h"
#include "tree/node_tree.h"
#include "utf/string_table.h"

namespace cmp {

inline constexpr std::uint32_t UtfMagic = 0x20465455;  // "UTF "
inline constexpr std::uint32_t UtfVersion = 0x101;
inline constexpr std::uint32_t UtfHeaderSize = 56;
inline constexpr std::uint32_t UtfRecordSize = 44;
inline constexpr std::uint32_t UtfFlagBranch = 0x10;
inline constexpr std::uint32_t UtfFlagLeaf = 0x80;

// Header field offsets.
inline constexpr std::uint32_t UtfNodeBlockOffsetField = 0x08;
inline constexpr std::uint32_t UtfNodeBlockSizeField = 0x0C;
inline constexpr std::uint32_t UtfRecordSizeField = 0x14;
inline constexpr std::uint32_t UtfStringBlockOffsetField = 0x18;
inline constexpr std::uint32_t UtfStringBlockSizeField = 0x1C;
inline constexpr std::uint32_t UtfStringBlockUsedField = 0x20;
inline constexpr std::uint32_t UtfDataBlockOffsetField = 0x24;

// Record field offsets.
inline constexpr std::uint32_t UtfSiblingField = 0x00;
inline constexpr std::uint32_t UtfNameField = 0x04;
inline constexpr std::uint32_t UtfFlagsField = 0x08;
inline constexpr std::uint32_t UtfChildOrDataField = 0x10;
inline constexpr std::uint32_t UtfSizeField = 0x14;
inline constexpr std::uint32_t UtfSizeSecondField = 0x18;
inline constexpr std::uint32_t UtfSizeThirdField = 0x1C;

// The three blocks of one tree file, planned from a whole tree before a byte is
// written: one 44-byte record per registered node in pre-order (a node, its subtree,
// then its next sibling; all top-level nodes as siblings of the first), names in
// registry order, leaf bytes in record order. Walks child and sibling chains with an
// explicit stack, so any width or depth of tree is safe.
//
// A payload on a node that has children is counted in the data block but never copied:
// the block then ends in that many zero bytes.
class UtfLayout {
  public:
    // `tree` must not be empty, and must outlive the layout unchanged: the layout holds
    // views of its payloads (a temporary tree will do within one expression).
    explicit UtfLayout(const NodeTree& tree);
    virtual ~UtfLayout() = default;

    // False when the file would not fit the format's 32-bit offsets; the blocks are then
    // left empty and must not be written.
    bool FitsFormat() const { return fitsFormat_; }

    const Bytes& GetNodeBlock() const { return nodeBlock_; }
    const Bytes& GetStringBlock() const { return stringBlock_; }
    // Header and the three blocks: the whole file.
    Bytes GetFileBytes() const;

  private:
    void Emit(const NodeTree& tree);
    std::uint32_t EmitRecord(const NodeTree& tree, NodeHandle node);

    Bytes nodeBlock_;
    Bytes stringBlock_;
    std::vector<std::span<const std::uint8_t>> leafPayloads_;  // in record order
    std::uint64_t dataBlockSize_ = 0;
    StringTable strings_;
    std::vector<std::uint32_t> nameOffsets_;  // each node's name, by registry index
    std::uint32_t nextIndex_ = 0;
    std::uint32_t dataFill_ = 0;
    bool fitsFormat_ = true;
};

}  // namespace cmp
