#include "tools/cmpinfo/read/read.h"

#include <algorithm>
#include <optional>

#include "files/files.h"
#include "utf/utf.h"

namespace cmp {

namespace {

Error TooLarge() {
    return Error{ErrorCode::TreeTooLarge,
                 "longer than the 4 GiB a tree file's offsets can address"};
}

std::uint64_t U32(const Bytes& bytes, std::uint64_t at) {
    return at + 4 <= bytes.size() ? LoadU32(bytes.data() + at) : 0;
}

// The farthest end the header's blocks claim: the node block, the larger string block
// size, and the start of the data block.
std::uint64_t HeaderEnd(const Bytes& header) {
    const std::uint64_t nodeEnd =
        U32(header, UtfNodeBlockOffsetField) + U32(header, UtfNodeBlockSizeField);
    const std::uint64_t stringEnd =
        U32(header, UtfStringBlockOffsetField) +
        std::max(U32(header, UtfStringBlockSizeField), U32(header, UtfStringBlockUsedField));
    return std::max(
        {std::uint64_t{UtfHeaderSize}, nodeEnd, stringEnd, U32(header, UtfDataBlockOffsetField)});
}

// The farthest end of leaf data that the records in `bytes` claim: the data block's
// start plus each leaf's offset and the larger of its size and the room kept for it.
std::uint64_t LeafDataEnd(const Bytes& bytes) {
    const std::uint64_t dataBegin = U32(bytes, UtfDataBlockOffsetField);
    const std::uint64_t nodeBegin = U32(bytes, UtfNodeBlockOffsetField);
    const std::uint64_t nodeEnd =
        std::min<std::uint64_t>(nodeBegin + U32(bytes, UtfNodeBlockSizeField), bytes.size());
    std::uint64_t end = dataBegin;
    for (std::uint64_t at = nodeBegin; at + UtfRecordSize <= nodeEnd; at += UtfRecordSize) {
        if (U32(bytes, at + UtfFlagsField) == UtfFlagLeaf) {
            end = std::max(end, dataBegin + U32(bytes, at + UtfChildOrDataField) +
                                    std::max(U32(bytes, at + UtfSizeField),
                                             U32(bytes, at + UtfSizeSecondField)));
        }
    }
    return end;
}

Result<Bytes> ReadRegular(InputFile& file, std::uint64_t size) {
    if (size > MaxTreeFileSize) {
        return TooLarge();
    }
    Bytes bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    if (Status read = file.ReadUpTo(size, bytes); !read) {
        return read.error();
    }
    return bytes;
}

// The steps for a file that is not a regular one: see ReadTreeFileBytes.
Result<Bytes> ReadTreeFileStream(InputFile& file) {
    Bytes bytes;
    if (Status read = file.ReadUpTo(UtfHeaderSize, bytes); !read) {
        return read.error();
    }
    if (bytes.size() < UtfHeaderSize || U32(bytes, 0) != UtfMagic || U32(bytes, 4) != UtfVersion ||
        U32(bytes, UtfRecordSizeField) != UtfRecordSize) {
        return bytes;  // not a tree file: the reader says why
    }
    for (const auto claimedEnd : {HeaderEnd, LeafDataEnd}) {
        if (Status read = file.ReadUpTo(std::min(claimedEnd(bytes), MaxTreeFileSize), bytes);
            !read) {
            return read.error();
        }
    }
    return bytes;
}

}  // namespace

Result<Bytes> ReadTreeFileBytes(const char* path) {
    InputFile file;
    if (Status opened = file.Open(path); !opened) {
        return opened.error();
    }
    if (const std::optional<std::uint64_t> size = file.GetRegularSize()) {
        return ReadRegular(file, *size);
    }
    return ReadTreeFileStream(file);
}

}  // namespace cmp
