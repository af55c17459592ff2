#include "ui/console/transcript.h"

#include <cerrno>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cmp {

namespace {

// Appends `line` to the regular file at `path`, creating it when nothing stands there.
// The path is the user's choice, so nothing else is ever written: a link is not followed,
// a FIFO or device is not opened for good (a FIFO without a reader fails at once rather
// than hanging), and a file this call created is removed again when the line did not
// reach it. One write per line, in append mode, keeps lines of several processes whole.
void AppendToRegularFile(const std::string& path, const std::string& line) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    DWORD written = 0;
    const bool whole =
        GetFileType(file) == FILE_TYPE_DISK &&
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
        written == line.size();
    CloseHandle(file);
    if (!whole && created) {
        DeleteFileA(path.c_str());
    }
#else
    constexpr int Flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    bool created = true;
    int fd = open(path.c_str(), Flags | O_CREAT | O_EXCL, 0644);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = open(path.c_str(), Flags);
    }
    if (fd < 0) {
        return;
    }
    struct stat status {};
    const bool whole = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                       write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    close(fd);
    if (!whole && created) {
        unlink(path.c_str());
    }
#endif
}

}  // namespace

std::string EscapeTranscriptField(std::string_view field) {
    std::string escaped;
    escaped.reserve(field.size());
    for (char c : field) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

void Transcript::Record(std::initializer_list<std::string_view> fields) const {
    if (!IsEnabled()) {
        return;
    }
    std::string line;
    for (std::string_view field : fields) {
        if (!line.empty()) {
            line += '\t';
        }
        line += EscapeTranscriptField(field);
    }
    line += '\n';
    // A transcript that cannot be written must not change the run: it is a witness only.
    AppendToRegularFile(path_, line);
}

}  // namespace cmp
