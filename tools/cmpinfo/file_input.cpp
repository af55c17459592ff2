#include "tools/cmpinfo/file_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "utf/utf_layout.h"

namespace cmp {

namespace {

int FileNumber(std::FILE* file) {
#ifdef _WIN32
    return _fileno(file);
#else
    return fileno(file);
#endif
}

Error SystemError() {
    return Error{ErrorCode::CannotRead, std::strerror(errno)};
}

Error TooLarge() {
    return Error{ErrorCode::TreeTooLarge,
                 "longer than the 4 GiB a tree file's offsets can address"};
}

// Reads until `bytes` holds `end` bytes or the input ends. Grows with what arrives, never
// with what was claimed, so memory follows the bytes that really come.
bool ReadUpTo(std::FILE* file, std::uint64_t end, Bytes& bytes) {
    std::uint8_t piece[65536];
    while (bytes.size() < end) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeof piece, end - bytes.size()));
        const std::size_t got = std::fread(piece, 1, want, file);
        bytes.insert(bytes.end(), piece, piece + got);
        if (got < want) {
            return std::ferror(file) == 0;
        }
    }
    return true;
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

Result<Bytes> ReadRegular(std::FILE* file, std::uint64_t size) {
    if (size > MaxTreeFileSize) {
        return TooLarge();
    }
    Bytes bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    if (!ReadUpTo(file, size, bytes)) {
        return SystemError();
    }
    return bytes;
}

// The steps for a file that is not a regular one: see ReadTreeFileBytes.
Result<Bytes> ReadTreeFileStream(std::FILE* file) {
    Bytes bytes;
    if (!ReadUpTo(file, UtfHeaderSize, bytes)) {
        return SystemError();
    }
    if (bytes.size() < UtfHeaderSize || U32(bytes, 0) != UtfMagic || U32(bytes, 4) != UtfVersion ||
        U32(bytes, UtfRecordSizeField) != UtfRecordSize) {
        return bytes;  // not a tree file: the reader says why
    }
    for (const auto claimedEnd : {HeaderEnd, LeafDataEnd}) {
        if (!ReadUpTo(file, std::min(claimedEnd(bytes), MaxTreeFileSize), bytes)) {
            return SystemError();
        }
    }
    return bytes;
}

}  // namespace

Result<Bytes> ReadTreeFileBytes(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        return SystemError();
    }
    struct stat status;
    Result<Bytes> bytes = Error{ErrorCode::CannotRead, ""};
    if (::fstat(FileNumber(file), &status) != 0) {
        bytes = SystemError();
    } else if (S_ISREG(status.st_mode) && status.st_size > 0) {
        bytes = ReadRegular(file, static_cast<std::uint64_t>(status.st_size));
    } else {
        // Pipes, devices, folders (whose read fails), and the system's files that say
        // they are empty but are not.
        bytes = ReadTreeFileStream(file);
    }
    std::fclose(file);
    return bytes;
}

}  // namespace cmp
