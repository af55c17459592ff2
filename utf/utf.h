// The tree file library: the "UTF " tree file format alone, written from a NodeTree
// (tree/tree.h) and read back into one.
//
// How the parts fit:
// - StringTable (string_table.cpp) gives every distinct node name its offset in the
//   file's string block.
// - UtfLayout (utf_layout.cpp) plans the whole file from a tree before a byte is written:
//   header, node block of 44-byte records, string block, data block.
// - WriteUtfFile (utf_writer.cpp) hands the planned bytes to the file layer, which
//   replaces the target all or nothing; this library itself never touches the disk.
// - ReadUtfFile (utf_reader.cpp) turns any bytes, treated as hostile, back into a tree,
//   for the inspector and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/error.h"
#include "core/little_endian.h"
#include "tree/tree.h"

namespace cmp {

// --- The format --------------------------------------------------------------------------

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

// --- String table ------------------------------------------------------------------------

// Gives every distinct node name one byte offset in a tree file's string block. Offset 0
// is the empty string that no entry covers; entries follow in the order first added, each
// at the previous entry's offset plus its length plus 1. The table keeps the block itself
// and each name's offset.
class StringTable {
  public:
    // Appends `name` unless it is already there (byte-exact, case-sensitive), and gives
    // its offset either way. `name` may be empty: it then takes one byte of its own, it
    // is never offset 0.
    std::uint32_t Add(std::string_view name);
    // Room for this many distinct names.
    void Reserve(std::size_t names) { offsets_.reserve(names); }
    // Length of the string block in bytes: 1 for an empty table.
    std::uint32_t GetSize() const { return static_cast<std::uint32_t>(block_.size()); }
    // Writes every name and its 0 byte at its offset; `destination` holds GetSize()
    // zero bytes.
    void CopyOut(std::uint8_t* destination) const;

  private:
    // Hashes names and views of names alike, so that a name is looked up without a copy.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };

    std::string block_ = std::string(1, '\0');  // the string block as the file holds it
    std::unordered_map<std::string, std::uint32_t, NameHash, std::equal_to<>> offsets_;
};

// --- Layout ------------------------------------------------------------------------------

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

// --- Writer ------------------------------------------------------------------------------

// Writes `tree` as a tree file at `path`, all or nothing: the bytes go to a staging file
// in the same folder, which takes the path's place in one rename only when every write,
// the flush to disk and the close succeeded. A failure never leaves a half-written file
// nor changes an existing one, and removes the staging file.
//
// The staging file is named after the output, then a dot, six random letters or digits
// and ".tmp" ("ship.cmp.x7Qk2P.tmp"), so a leftover of a killed run is recognised and
// never reused. It is created only where nothing stood, never through a link, under
// another random name when one is taken: nothing beside the output is opened. While it
// exists it is in the process's list of staged files (files/files.h), which a
// handler of SIGINT or SIGTERM removes.
//
// What is replaced stays what it was as far as a new file can: it keeps its permissions
// (and its owner and group as far as the user may give them). When the path is a link,
// the regular file at the link's end is replaced the same way, staged in that file's
// folder, and the link stays. Refused, with a message naming the path and nothing opened:
// a path that is not a regular file (a folder, a named pipe, a device, a socket) or a
// link to one, or to nothing; and a file with other names (hard links), since a rename
// gives the path a new file while the other names would keep the old content without
// the user knowing, and writing into the old file instead would give up the
// all-or-nothing replacement. On Windows only a folder is refused; links, permissions and
// other names are left to the system there.
//
// An empty tree, or one too large for the format's 32-bit offsets, writes nothing. A
// failure's message names the file and the system's reason: "cannot create '<staging
// file>': ...", "cannot write '<staging file>': ...", "cannot replace '<path>': ...".
[[nodiscard]] Status WriteUtfFile(const NodeTree& tree, const char* path);

// --- Reader ------------------------------------------------------------------------------

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
