#include "utf/utf_writer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/staging_file.h"
#include "utf/utf_layout.h"

namespace cmp {

Status WriteUtfFile(const NodeTree& tree, const char* path) {
    if (!path || !*path) {
        return Error{ErrorCode::NoPath, "cannot write a tree file: no path given"};
    }
    const std::string target = path;
    if (!tree.GetRoot()) {
        return Error{ErrorCode::EmptyTree, "cannot write '" + target + "': the tree has no nodes"};
    }
    // Plan the whole file before touching the disk.
    const UtfLayout layout(tree);
    if (!layout.FitsFormat()) {
        return Error{ErrorCode::TreeTooLarge,
                     "cannot write '" + target +
                         "': the tree does not fit the 4 GiB that 32-bit offsets can address"};
    }
    const Bytes header = layout.GetHeader();
    // Thousands of small leaves take a few writes; megabytes of mesh data are never
    // copied.
    std::vector<BytePiece> pieces = {header, layout.GetNodeBlock(), layout.GetStringBlock()};
    pieces.insert(pieces.end(), layout.GetDataPieces().begin(), layout.GetDataPieces().end());
    return WriteStagedFile(target, pieces, UtfWriteGatherSize);
}

}  // namespace cmp
