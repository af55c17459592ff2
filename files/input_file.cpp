#include "files/files.h"

#include <sys/stat.h>

#include <algorithm>

namespace cmp {

namespace {

Error ReadFailure() {
    return Error{ErrorCode::CannotRead, SystemErrorText(errno)};
}

}  // namespace

InputFile::~InputFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

Status InputFile::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        return ReadFailure();
    }
    struct stat status {};
    if (::fstat(fileno(file_), &status) != 0) {
        return ReadFailure();
    }
    if (S_ISREG(status.st_mode) && status.st_size > 0) {
        regularSize_ = static_cast<std::uint64_t>(status.st_size);
    }
    return Status::Ok();
}

Status InputFile::ReadUpTo(std::uint64_t end, Bytes& bytes) {
    std::uint8_t piece[65536];
    while (bytes.size() < end) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeof piece, end - bytes.size()));
        const std::size_t got = std::fread(piece, 1, want, file_);
        bytes.insert(bytes.end(), piece, piece + got);
        if (got < want) {
            return std::ferror(file_) == 0 ? Status::Ok() : Status(ReadFailure());
        }
    }
    return Status::Ok();
}

}  // namespace cmp
