#include "utf/utf.h"

#include <string>

#include "files/files.h"

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
    // One write: thousands of small leaves would otherwise take a system call each.
    const Bytes file = layout.GetFileBytes();
    const BytePiece whole = file;
    return WriteStagedFile(target, {&whole, 1});
}

}  // namespace cmp
