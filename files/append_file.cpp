#include "files/append_file.h"

#include "core/terminal_text.h"
#include "files/system_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace cmp {

namespace {

Error CannotAppend(const std::string& path, const std::string& why) {
    return Error{ErrorCode::CannotWrite, "cannot add to '" + NameInMessage(path) + "': " + why};
}

}  // namespace

#ifdef _WIN32

Status AppendToRegularFile(const std::string& path, std::string_view text) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return CannotAppend(path, SystemErrorText(GetLastError()));
    }
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    const bool regular = GetFileType(file) == FILE_TYPE_DISK;
    DWORD written = 0;
    const bool whole =
        regular &&
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    const SystemError error = whole ? 0 : GetLastError();
    CloseHandle(file);
    if (whole) {
        return Status::Ok();
    }
    if (created) {
        DeleteFileA(path.c_str());
    }
    return CannotAppend(path, regular ? SystemErrorText(error) : "it is not a regular file");
}

#else

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

#endif

}  // namespace cmp
