#include "files/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/text.h"
#include "files/platform.h"

namespace cmp {

namespace {

// What a file that is not a regular one is, as a user would call it.
std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "something other than a regular file";
}

// A rename gives the path a new file; any other name of the old one would keep the old
// content without the user knowing. Writing the new bytes into the old file instead would
// keep those names but give up the all-or-nothing replacement, so such a file is refused.
Result<WriteDestination> RegularFile(const std::string& path, const struct stat& status) {
    if (status.st_nlink > 1) {
        const auto others = static_cast<unsigned long>(status.st_nlink - 1);
        return Refusal(path,
                       "the file has " + std::to_string(others) +
                           (others == 1 ? " more name (a hard link)" : " more names (hard links)") +
                           ", which would keep the old content; remove it first or "
                           "choose another name");
    }
    WriteDestination destination;
    destination.path = path;
    destination.replaces = true;
    destination.permissions = static_cast<unsigned>(status.st_mode & 07777);
    destination.owner = static_cast<unsigned>(status.st_uid);
    destination.group = static_cast<unsigned>(status.st_gid);
    // The mode bits as well as the check: a privileged user may write anything, yet a file
    // that grants writing to no one was marked read-only by someone. A check that fails for
    // another reason says nothing about the file's mark.
    const bool writable = ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 ||
                          (errno != EACCES && errno != EPERM);
    destination.readOnly = (status.st_mode & 0222) == 0 || !writable;
    return destination;
}

}  // namespace

Result<WriteDestination> FindWriteDestination(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        // Nothing there, or a folder on the way that is missing or not one: creating the
        // staging file beside it will say which.
        WriteDestination destination;
        destination.path = path;
        return destination;
    }
    if (S_ISREG(status.st_mode)) {
        return RegularFile(path, status);
    }
    if (!S_ISLNK(status.st_mode)) {
        return Refusal(path, "it is " + KindOf(status.st_mode));
    }
    // A link: what the user keeps under this name is the file at the link's end, so that
    // file gets the new content and the link stays.
    char* const resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return Refusal(path,
                       std::string("it is a link that leads nowhere: ") + SystemErrorText(errno));
    }
    const std::string target = resolved;
    std::free(resolved);
    if (::lstat(target.c_str(), &status) != 0) {
        return Refusal(path,
                       std::string("it is a link that leads nowhere: ") + SystemErrorText(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return Refusal(path, "it is a link to " + KindOf(status.st_mode) + ", '" +
                                 NameInMessage(target) + "'");
    }
    return RegularFile(target, status);
}

}  // namespace cmp
