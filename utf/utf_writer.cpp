#include "utf/utf_writer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/gathered_write.h"
#include "utf/staging_file.h"
#include "utf/utf_layout.h"
#include "utf/write_destination.h"

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
    Result<WriteDestination> destination = FindWriteDestination(target);
    if (!destination) {
        return destination.status();
    }
    // Dropped unfinished on any failure below, the staging file is removed.
    StagingFile staging;
    if (Status created = staging.Create(destination.value()); !created) {
        return created;
    }
    const Bytes header = layout.GetHeader();
    // Thousands of small leaves take a few writes; megabytes of mesh data are never
    // copied.
    std::vector<BytePiece> pieces = {header, layout.GetNodeBlock(), layout.GetStringBlock()};
    pieces.insert(pieces.end(), layout.GetDataPieces().begin(), layout.GetDataPieces().end());
    const Status written = WriteGathered(pieces, UtfWriteGatherSize,
                                         [&](BytePiece bytes) { return staging.Write(bytes); });
    if (!written) {
        return written;
    }
    if (Status finished = staging.Finish(); !finished) {
        return finished;
    }
    return staging.Replace();
}

}  // namespace cmp
