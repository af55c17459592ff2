#include "utf/utf_writer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "utf/staging_file.h"
#include "utf/utf_layout.h"
#include "utf/write_destination.h"

namespace cmp {

namespace {

// Writes `pieces` one after another: each one of at least UtfWriteGatherSize bytes
// straight from where it is, the smaller ones between them gathered, so that thousands
// of small leaves take a few writes and megabytes of mesh data are never copied.
Status WritePieces(StagingFile& staging, std::span<const std::span<const std::uint8_t>> pieces) {
    Bytes gathered;
    for (const std::span<const std::uint8_t> piece : pieces) {
        const bool direct = piece.size() >= UtfWriteGatherSize;
        if (!gathered.empty() && (direct || gathered.size() + piece.size() > UtfWriteGatherSize)) {
            if (Status written = staging.Write(gathered); !written) {
                return written;
            }
            gathered.clear();
        }
        if (direct) {
            if (Status written = staging.Write(piece); !written) {
                return written;
            }
            continue;
        }
        if (gathered.capacity() == 0) {
            gathered.reserve(UtfWriteGatherSize);
        }
        gathered.insert(gathered.end(), piece.begin(), piece.end());
    }
    return gathered.empty() ? Status::Ok() : staging.Write(gathered);
}

}  // namespace

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
    std::vector<std::span<const std::uint8_t>> pieces = {header, layout.GetNodeBlock(),
                                                         layout.GetStringBlock()};
    pieces.insert(pieces.end(), layout.GetDataPieces().begin(), layout.GetDataPieces().end());
    if (Status written = WritePieces(staging, pieces); !written) {
        return written;
    }
    if (Status finished = staging.Finish(); !finished) {
        return finished;
    }
    return staging.Replace();
}

}  // namespace cmp
