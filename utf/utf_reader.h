#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/error.h"
#include "core/little_endian.h"
#include "tree/node_tree.h"

namespace cmp {

// Turns any bytes into a NodeTree, treating them as hostile. Never reads outside `bytes`,
// keeps no recursion whose depth the input decides, and holds at most a bounded multiple
// of the file's size in memory. On success the tree (which must be empty) holds the
// file's nodes, children in file order, registry in pre-order; a leaf with no bytes has
// no payload. On failure `tree` is left unchanged and the error (code MalformedTreeFile)
// tells the first problem and the byte offset of the field at fault.
//
// What is checked, strictly where our own writer is exact:
// - the header: at least 56 bytes; magic "UTF "; version 0x101; record size 44;
//   node block at or after the header, its size a non-zero multiple of 44; string block
//   after the node block, data block after the string block, all inside the file. The
//   data block runs to the end of the file (the header has no size for it).
// - every record: next sibling and first child are offsets of records of the node block
//   (0 meaning none); flags are 0x10 (branch) or 0x80 (leaf); a branch has a child and
//   all three size fields 0; a leaf's data lies inside the data block and does not
//   overlap another leaf's; the name offset lies in the string block and a 0 byte ends
//   the name inside the block.
// - the shape: no record is reached twice (a loop or a child shared by two parents) and
//   every record is reached from record 0, which is the first top-level node.
//
// What is tolerated, because other writers fill it differently:
// - header fields the tree does not need (0x10, 0x28 to 0x34) and record fields 0x0C and
//   0x20 to 0x28 are ignored; gaps between the blocks are allowed.
// - the two string block sizes may differ (a padded and a used length): the larger
//   counts, and must lie in the file.
// - a leaf's first size is its payload length. The second is the room kept for it,
//   which may be larger (padding), never smaller, and must lie in the data block; the
//   third must equal the first.
// - unused bytes in the string and data blocks.
//
// Names are copied into every node that uses them, so a file whose names add up to more
// than 16 times its length (and more than 16 MiB) is refused as hostile.
[[nodiscard]] Status ReadUtfFile(const Bytes& bytes, NodeTree& tree);

}  // namespace cmp
