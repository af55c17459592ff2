#include "files/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>

#include "core/text.h"
#include "files/platform.h"

namespace cmp {

const char* FolderSeparators() {
    return "/";
}

// Only the file name's length is bounded.
std::size_t LongestPath() {
    return std::numeric_limits<std::size_t>::max();
}

std::optional<StagingFile::OpenFailure> StagingFile::OpenNew() {
    // Private until finished when it replaces a file, whose permissions it then gets;
    // a new file has what the user's umask gives.
    const mode_t mode = destination_.replaces ? 0600 : 0666;
    descriptor_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (descriptor_ >= 0) {
        return std::nullopt;
    }
    const int error = errno;
    return OpenFailure{error == EEXIST, SystemErrorText(error)};
}

Status StagingFile::Write(std::span<const std::uint8_t> bytes) {
    const unsigned char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor_, next, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return StagingFailure(ErrorCode::CannotWrite,
                                  "cannot write '" + NameInMessage(name_) + "'",
                                  SystemErrorText(written < 0 ? errno : 0));
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return Status::Ok();
}

Status StagingFile::Finish() {
    int error = 0;
    // A file system that cannot sync says EINVAL; there is nothing more to wait for then.
    if (::fsync(descriptor_) != 0 && errno != EINVAL) {
        error = errno;
    }
    if (error == 0 && destination_.replaces) {
        // The owner and group only as far as this user may give them; the permissions
        // after them, as a change of owner clears the set-id bits.
        (void)!::fchown(descriptor_, destination_.owner, destination_.group);
        if (::fchmod(descriptor_, destination_.permissions) != 0) {
            error = errno;
        }
    }
    if (::close(descriptor_) != 0 && error == 0) {
        error = errno;
    }
    descriptor_ = -1;
    if (error != 0) {
        return StagingFailure(ErrorCode::CannotWrite, "cannot write '" + NameInMessage(name_) + "'",
                              SystemErrorText(error));
    }
    return Status::Ok();
}

Status StagingFile::Replace() {
    if (std::rename(name_.c_str(), destination_.path.c_str()) != 0) {
        return StagingFailure(ErrorCode::CannotReplace,
                              "cannot replace '" + NameInMessage(destination_.path) + "' with '" +
                                  NameInMessage(name_) + "'",
                              SystemErrorText(errno));
    }
    registration_.reset();
    return Status::Ok();
}

void StagingFile::Close() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

}  // namespace cmp
