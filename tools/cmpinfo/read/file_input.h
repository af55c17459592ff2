// The bytes of the file cmpinfo is asked about, read no further than a tree file can
// reach, so that neither a huge file nor an endless device fills memory before anything
// is checked.
#pragma once

#include <cstdint>

#include "core/error.h"
#include "core/little_endian.h"

namespace cmp {

// A tree file's 32-bit offsets address no byte past this.
inline constexpr std::uint64_t MaxTreeFileSize = 0xFFFFFFFFu;

// A regular file is sized first and refused (TreeTooLarge) when longer than
// MaxTreeFileSize, else read whole. Anything else (a pipe, a device) is read in steps:
// the 56-byte header; if it is not a tree file's (magic, version, record size), nothing
// more, and the reader refuses those bytes; else up to the farthest end its blocks claim,
// then up to the farthest end of any leaf's data that its records claim. Bytes past that
// are left unread: they cannot belong to the tree. CannotRead with the system's reason
// when the file cannot be opened or read.
Result<Bytes> ReadTreeFileBytes(const char* path);

}  // namespace cmp
