#include "files/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/platform.h"

namespace cmp {

Status AppendToRegularFile(const std::string& path, std::string_view text) {
    constexpr int Flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    bool created = true;
    int fd = open(path.c_str(), Flags | O_CREAT | O_EXCL, 0644);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = open(path.c_str(), Flags);
    }
    if (fd < 0) {
        return CannotAppend(path, SystemErrorText(errno));
    }
    struct stat status {};
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const ssize_t wrote = regular ? write(fd, text.data(), text.size()) : -1;
    const SystemError error = wrote < 0 ? errno : 0;
    close(fd);
    if (wrote == static_cast<ssize_t>(text.size())) {
        return Status::Ok();
    }
    if (created) {
        unlink(path.c_str());
    }
    return CannotAppend(path, !regular     ? std::string("it is not a regular file")
                              : error != 0 ? SystemErrorText(error)
                                           : std::string("short write"));
}

}  // namespace cmp
