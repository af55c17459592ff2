// Writing a file from many pieces of bytes with few system calls and without copying
// the large ones: a mesh data stream is a few headers and then arrays megabytes long
// (building it whole first costs the export about a fifth of its time).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/error.h"
#include "core/little_endian.h"

namespace cmp {

// Writes of about this size cost few system calls; pieces this large go as they are.
inline constexpr std::size_t GatheredWriteSize = 64 * 1024;

// Hands `pieces`, in order, to `write` (a callable taking a BytePiece and returning a
// Status): each piece of at least `gatherSize` bytes straight from where it is, the
// smaller ones between them first gathered into writes of at most `gatherSize` bytes.
// Stops at the first failed write and returns its Status.
template <class Write>
Status WriteGathered(std::span<const BytePiece> pieces, Write&& write,
                     std::size_t gatherSize = GatheredWriteSize) {
    Bytes gathered;
    for (const BytePiece piece : pieces) {
        const bool direct = piece.size() >= gatherSize;
        if (!gathered.empty() && (direct || gathered.size() + piece.size() > gatherSize)) {
            if (Status written = write(BytePiece(gathered)); !written) {
                return written;
            }
            gathered.clear();
        }
        if (direct) {
            if (Status written = write(piece); !written) {
                return written;
            }
            continue;
        }
        if (gathered.capacity() == 0) {
            gathered.reserve(gatherSize);
        }
        gathered.insert(gathered.end(), piece.begin(), piece.end());
    }
    return gathered.empty() ? Status::Ok() : write(BytePiece(gathered));
}

}  // namespace cmp
